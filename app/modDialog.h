#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

// The desktop's dialogs and shell services: the file-open dialog, the folder dialog, moving a
// window, and opening a document or web address. Each goes through a replaceable function so
// tests can answer in place of the user and nothing modal ever opens in a test.
namespace modDialog {

// Shows the file-open dialog ("Explorer" style means the desktop's own dialog); the filter is
// a Qt filter list ("Description (*.a *.b);;..."). Returns the chosen full path, or "Cancel"
// when the user cancelled or the dialog failed.
QString OpenVideoDialog(QWidget* owner, const QString& filter, const QString& title, bool explorer);

// Shows the folder dialog. Returns the chosen folder's full path, or an empty text when the
// user cancelled, the choice is not a folder of the file system, or the dialog failed.
QString BrowseForFolder(QWidget* owner, const QString& title, bool newStyle);

// Starts an interactive move of the window, as if its title bar had been grabbed.
void DragWindow(QWidget* window);

// Opens a document or web address with the desktop's associated program. Failures are silent.
void OpenDocument(const QUrl& url);

using OpenFileFunction =
    std::function<QString(QWidget* owner, const QString& filter, const QString& title)>;
using BrowseFunction = std::function<QString(QWidget* owner, const QString& title)>;
using DragFunction = std::function<void(QWidget* window)>;
using OpenDocumentFunction = std::function<void(const QUrl& url)>;

// Each setter replaces one facility; an empty function restores the real one. Each returns the
// function that was installed before.
OpenFileFunction SetOpenFileFunction(OpenFileFunction function);
BrowseFunction SetBrowseFunction(BrowseFunction function);
DragFunction SetDragFunction(DragFunction function);
OpenDocumentFunction SetOpenDocumentFunction(OpenDocumentFunction function);

} // namespace modDialog
