#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// Time text and power-off.
namespace modMain {

// Whole seconds as hours, minutes and seconds of at least two digits each, joined by ":"
// (65 gives "00:01:05", 360000 gives "100:00:00"). Hours are not limited to 24. A negative
// number of seconds is written as "-" and the text of its magnitude (-65 gives "-00:01:05").
QString TimeText(const qint32& intValue);

using ShutdownFunction = std::function<void()>;

// Powers the computer off after a task, through the installed shutdown function. The real one
// asks logind over the system D-Bus to power off (not interactive); it does nothing at all when
// the environment variable QUENLET_NO_POWEROFF is set. Failures are ignored without a message.
void ShutdownComputer();

// Replaces the shutdown function (tests install a recorder); an empty function restores the real
// one. Returns the function installed before.
ShutdownFunction SetShutdownFunction(ShutdownFunction function);

// False when QUENLET_NO_POWEROFF is set: the real power-off then does nothing.
bool PowerOffAllowed();

} // namespace modMain
