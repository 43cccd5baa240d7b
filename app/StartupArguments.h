#pragma once

#include <QString>
#include <QStringList>

// What the command line asks of one start: `quenlet [FILE]`, `--help` or `--version`.
struct StartupArguments {
    enum class Action { Run, Help, Version, Error };

    Action action = Action::Run;
    // The video to take in once the window is up, as an absolute path (a relative one counts
    // from the current folder); empty for none.
    QString file;
    // What to print for Help (standard output), Version (standard output) and Error (standard
    // error), ending with a line break.
    QString text;
    // The status to exit with for Help, Version (0) and Error (2).
    int exitCode = 0;

    // The status of a command line that cannot be understood, as other command-line tools use.
    static constexpr int UsageError = 2;

    // Reads a command line, the program's name first. Qt's own options (-style, -platform, ...)
    // are accepted and left to the application object, so this needs none and no display.
    static StartupArguments Parse(const QStringList& arguments);
};
