#include "engine/Platform.h"

#include "engine/Diagnostics.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include <utility>

namespace Platform {
namespace {

MessageFunction& messageFunction() {
    static MessageFunction function;
    return function;
}

EventFunction& eventFunction() {
    static EventFunction function;
    return function;
}

EventFunction& waitingEventFunction() {
    static EventFunction function;
    return function;
}

QString& folderOverride() {
    static QString folder;
    return folder;
}

QMessageBox::Icon toBoxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void ShowMessage(const QString& text, MessageIcon icon) {
    qCInfo(Diagnostics).noquote() << "message box:" << text;
    if (messageFunction()) {
        messageFunction()(text, icon);
        return;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        qWarning("%s: %s", ApplicationTitle, qPrintable(text));
        return;
    }
    QMessageBox box(toBoxIcon(icon), QString::fromLatin1(ApplicationTitle), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

MessageFunction SetMessageFunction(MessageFunction function) {
    return std::exchange(messageFunction(), std::move(function));
}

void ProcessEvents() {
    if (eventFunction()) {
        eventFunction()();
        return;
    }
    QCoreApplication::processEvents();
}

EventFunction SetProcessEventsFunction(EventFunction function) {
    return std::exchange(eventFunction(), std::move(function));
}

void ProcessEventsWhileWaiting() {
    if (waitingEventFunction()) {
        waitingEventFunction()();
        return;
    }
    QCoreApplication::processEvents();
}

EventFunction SetWaitingEventsFunction(EventFunction function) {
    return std::exchange(waitingEventFunction(), std::move(function));
}

QString ApplicationFolder() {
    if (!folderOverride().isEmpty()) {
        return folderOverride();
    }
    return QCoreApplication::applicationDirPath();
}

void SetApplicationFolder(const QString& folder) {
    folderOverride() = folder;
}

QString DataFilePath(const QString& name) {
    const QDir program(ApplicationFolder());
    const QString beside = program.filePath(name);
    if (QFileInfo::exists(beside)) {
        return beside;
    }
    const QString shared = QDir::cleanPath(program.filePath(QStringLiteral("../share/quenlet")));
    if (QFileInfo(shared).isDir()) {
        return QDir(shared).filePath(name);
    }
    return beside;
}

} // namespace Platform
