#include "engine/modMain.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <utility>

namespace modMain {
namespace {

ShutdownFunction& installedShutdown() {
    static ShutdownFunction function;
    return function;
}

QString TwoDigits(qint64 value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// logind's PowerOff on the system bus. EnableShutdownPrivilege, which enabled the shutdown
// privilege in the process token on Windows, has no Linux counterpart: logind decides through
// polkit whether this user may power off, and with interactive = false it never asks.
void PowerOffThroughLogind() {
    if (!PowerOffAllowed()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    call << false;
    QDBusConnection::systemBus().call(call); // a refusal or a missing bus is ignored
}

} // namespace

QString TimeText(const qint32& intValue) {
    qint64 n = intValue; // 64 bits, so the magnitude of the smallest value fits
    QString sign;
    if (n < 0) {
        sign = QStringLiteral("-");
        n = -n;
    }
    const qint64 s = n % 60;
    const qint64 t = (n - s) / 60;
    const qint64 m = t % 60;
    const qint64 h = t / 60;
    return sign + TwoDigits(h) + QLatin1Char(':') + TwoDigits(m) + QLatin1Char(':') + TwoDigits(s);
}

void ShutdownComputer() {
    if (installedShutdown()) {
        installedShutdown()();
        return;
    }
    PowerOffThroughLogind();
}

ShutdownFunction SetShutdownFunction(ShutdownFunction function) {
    return std::exchange(installedShutdown(), std::move(function));
}

bool PowerOffAllowed() {
    return !qEnvironmentVariableIsSet("QUENLET_NO_POWEROFF");
}

} // namespace modMain
