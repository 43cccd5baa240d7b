#include "app/modDialog.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace modDialog {
namespace {

OpenFileFunction& openFileFunction() {
    static OpenFileFunction function;
    return function;
}
BrowseFunction& browseFunction() {
    static BrowseFunction function;
    return function;
}
DragFunction& dragFunction() {
    static DragFunction function;
    return function;
}
OpenDocumentFunction& openDocumentFunction() {
    static OpenDocumentFunction function;
    return function;
}

} // namespace

QString OpenVideoDialog(QWidget* owner, const QString& filter, const QString& title,
                        bool explorer) {
    QString path;
    if (openFileFunction()) {
        path = openFileFunction()(owner, filter, title);
    } else {
        const QFileDialog::Options options =
            explorer ? QFileDialog::Options() : QFileDialog::DontUseNativeDialog;
        path = QFileDialog::getOpenFileName(owner, title, QString(), filter, nullptr, options);
    }
    // The dialog only lets existing files through; a path that is not one counts as a cancel.
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return QStringLiteral("Cancel");
    }
    return path;
}

QString BrowseForFolder(QWidget* owner, const QString& title, bool newStyle) {
    QString path;
    if (browseFunction()) {
        path = browseFunction()(owner, title);
    } else {
        QFileDialog::Options options = QFileDialog::ShowDirsOnly;
        if (!newStyle) {
            options |= QFileDialog::DontUseNativeDialog;
        }
        path = QFileDialog::getExistingDirectory(owner, title, QString(), options);
    }
    if (path.isEmpty() || !QFileInfo(path).isDir()) {
        return QString();
    }
    return path;
}

void DragWindow(QWidget* window) {
    if (dragFunction()) {
        dragFunction()(window);
        return;
    }
    if (window != nullptr && window->windowHandle() != nullptr) {
        window->windowHandle()->startSystemMove();
    }
}

void OpenDocument(const QUrl& url) {
    if (openDocumentFunction()) {
        openDocumentFunction()(url);
        return;
    }
    QDesktopServices::openUrl(url);
}

OpenFileFunction SetOpenFileFunction(OpenFileFunction function) {
    return std::exchange(openFileFunction(), std::move(function));
}
BrowseFunction SetBrowseFunction(BrowseFunction function) {
    return std::exchange(browseFunction(), std::move(function));
}
DragFunction SetDragFunction(DragFunction function) {
    return std::exchange(dragFunction(), std::move(function));
}
OpenDocumentFunction SetOpenDocumentFunction(OpenDocumentFunction function) {
    return std::exchange(openDocumentFunction(), std::move(function));
}

} // namespace modDialog
