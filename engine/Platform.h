#pragma once

#include <QString>
#include <functional>

// The few facilities every part of Quenlet takes from the desktop: message boxes, letting the
// user interface process pending events while a long operation runs, and the folder the program
// lies in. Each goes through one replaceable function so tests can record or script it and no
// test ever waits on a modal dialog.
namespace Platform {

enum class MessageIcon { None, Information, Exclamation, Error };

using MessageFunction = std::function<void(const QString& text, MessageIcon icon)>;
using EventFunction = std::function<void()>;

// Shows a message box captioned "Quenlet" with an OK button.
void ShowMessage(const QString& text, MessageIcon icon);
// Replaces the message routine; an empty function restores the real message box.
// Returns the routine that was installed before.
MessageFunction SetMessageFunction(MessageFunction function);

// Lets the user interface process its pending events once.
void ProcessEvents();
// Replaces the event processing; an empty function restores the real one. Returns the previous.
EventFunction SetProcessEventsFunction(EventFunction function);

// Lets the user interface process its pending events once while an operation waits, in short
// bounded waits, for something outside the program (a child's output or its end). Kept apart
// from ProcessEvents, whose rounds come at fixed points of an operation and are counted.
void ProcessEventsWhileWaiting();
// Replaces it; an empty function restores the real one. Returns the previous.
EventFunction SetWaitingEventsFunction(EventFunction function);

// The folder of the program itself, without a trailing separator. A bundled encoder is looked
// up there.
QString ApplicationFolder();
// Makes ApplicationFolder() answer the given folder (tests); an empty text restores the real one.
void SetApplicationFolder(const QString& folder);

// Where the data file `name` (a catalog, the help page) lies: beside the program (the build
// folder), else in ../share/quenlet/ relative to it (an installed program). When it lies in
// neither, the path it should have: in ../share/quenlet/ when that folder exists, else beside
// the program. Follows ApplicationFolder(), so replacing that moves the data files too.
QString DataFilePath(const QString& name);

// The application's title, the caption of every message box.
inline constexpr const char* ApplicationTitle = "Quenlet";

} // namespace Platform
