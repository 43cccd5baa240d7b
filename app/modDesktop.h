#pragma once

#include <QString>
#include <functional>

// The desktop's services for a finished cut and a running task: opening the cut, showing it
// in the file manager, a notification, and the progress on the program's launcher (dock or
// task bar). Each goes through a replaceable function, as the dialogs of modDialog do, so
// tests record the calls and nothing reaches the desktop. Every failure is silent: the
// window shows the same things.
namespace modDesktop {

// Opens the file with the desktop's default program for it.
void OpenFile(const QString& path);
// Shows the file selected in the file manager: the desktop's org.freedesktop.FileManager1
// service (ShowItems) where the session bus has one, else the folder opened with the default
// program for folders.
void ShowInFolder(const QString& path);
// A desktop notification (org.freedesktop.Notifications) from Quenlet, with its icon.
void Notify(const QString& summary, const QString& body);
// The progress shown on the launcher of Quenlet's desktop entry, 0.0 to 1.0
// (com.canonical.Unity.LauncherEntry, read by KDE Plasma's task manager, GNOME's and other
// docks); `visible` false takes it away.
void SetLauncherProgress(double progress, bool visible);

using PathFunction = std::function<void(const QString& path)>;
using NotifyFunction = std::function<void(const QString& summary, const QString& body)>;
using LauncherProgressFunction = std::function<void(double progress, bool visible)>;

// Each setter replaces one facility; an empty function restores the real one. Each returns the
// function that was installed before.
PathFunction SetOpenFileFunction(PathFunction function);
PathFunction SetShowInFolderFunction(PathFunction function);
NotifyFunction SetNotifyFunction(NotifyFunction function);
LauncherProgressFunction SetLauncherProgressFunction(LauncherProgressFunction function);

// The real facilities, for whoever replaced them and wants to pass a call on.
void RealOpenFile(const QString& path);
void RealShowInFolder(const QString& path);
void RealNotify(const QString& summary, const QString& body);
void RealSetLauncherProgress(double progress, bool visible);

} // namespace modDesktop
