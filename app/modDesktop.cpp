#include "app/modDesktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <utility>

namespace {

modDesktop::PathFunction& OpenFileSlot() {
    static modDesktop::PathFunction function;
    return function;
}
modDesktop::PathFunction& ShowInFolderSlot() {
    static modDesktop::PathFunction function;
    return function;
}
modDesktop::NotifyFunction& NotifySlot() {
    static modDesktop::NotifyFunction function;
    return function;
}
modDesktop::LauncherProgressFunction& LauncherSlot() {
    static modDesktop::LauncherProgressFunction function;
    return function;
}

const QString FileManagerService = QStringLiteral("org.freedesktop.FileManager1");

// Whether the session bus runs the service or can start it.
bool ServiceAvailable(const QDBusConnection& bus, const QString& service) {
    QDBusConnectionInterface* names = bus.interface();
    if (names == nullptr) {
        return false;
    }
    if (names->isServiceRegistered(service).value()) {
        return true;
    }
    const QDBusMessage listing = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListActivatableNames"));
    const QDBusMessage reply = bus.call(listing, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toStringList().contains(service);
}

// The desktop entry's name, as launchers know the program.
QString DesktopEntry() {
    QString name = QGuiApplication::desktopFileName();
    if (name.isEmpty()) {
        name = QStringLiteral("org.corvanel.Quenlet");
    }
    return name + QStringLiteral(".desktop");
}

} // namespace

namespace modDesktop {

void RealOpenFile(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void RealShowInFolder(const QString& path) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && ServiceAvailable(bus, FileManagerService)) {
        QDBusMessage show = QDBusMessage::createMethodCall(
            FileManagerService, QStringLiteral("/org/freedesktop/FileManager1"), FileManagerService,
            QStringLiteral("ShowItems"));
        show << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
        const QDBusMessage reply = bus.call(show, QDBus::Block, 5000);
        if (reply.type() == QDBusMessage::ReplyMessage) {
            return;
        }
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

void RealNotify(const QString& summary, const QString& body) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QString icon = QGuiApplication::desktopFileName().isEmpty()
                             ? QStringLiteral("org.corvanel.Quenlet")
                             : QGuiApplication::desktopFileName();
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), icon);
    notify << QStringLiteral("Quenlet") << quint32(0) << icon << summary << body << QStringList()
           << hints << qint32(-1);
    // Nobody waits for the answer.
    bus.call(notify, QDBus::NoBlock);
}

void RealSetLauncherProgress(double progress, bool visible) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage update = QDBusMessage::createSignal(
        QStringLiteral("/org/corvanel/Quenlet/LauncherEntry"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), qBound(0.0, progress, 1.0));
    properties.insert(QStringLiteral("progress-visible"), visible);
    update << QStringLiteral("application://") + DesktopEntry() << properties;
    bus.send(update);
}

void OpenFile(const QString& path) {
    if (OpenFileSlot()) {
        OpenFileSlot()(path);
    } else {
        RealOpenFile(path);
    }
}

void ShowInFolder(const QString& path) {
    if (ShowInFolderSlot()) {
        ShowInFolderSlot()(path);
    } else {
        RealShowInFolder(path);
    }
}

void Notify(const QString& summary, const QString& body) {
    if (NotifySlot()) {
        NotifySlot()(summary, body);
    } else {
        RealNotify(summary, body);
    }
}

void SetLauncherProgress(double progress, bool visible) {
    if (LauncherSlot()) {
        LauncherSlot()(progress, visible);
    } else {
        RealSetLauncherProgress(progress, visible);
    }
}

PathFunction SetOpenFileFunction(PathFunction function) {
    return std::exchange(OpenFileSlot(), std::move(function));
}

PathFunction SetShowInFolderFunction(PathFunction function) {
    return std::exchange(ShowInFolderSlot(), std::move(function));
}

NotifyFunction SetNotifyFunction(NotifyFunction function) {
    return std::exchange(NotifySlot(), std::move(function));
}

LauncherProgressFunction SetLauncherProgressFunction(LauncherProgressFunction function) {
    return std::exchange(LauncherSlot(), std::move(function));
}

} // namespace modDesktop
