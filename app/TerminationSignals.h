#pragma once

#include <QObject>

class QSocketNotifier;

// The requests to end that a desktop sends a program: SIGTERM (a logout, a shutdown, `kill`),
// SIGHUP (its terminal went away) and SIGINT (Ctrl+C in its terminal). Their handlers only
// write the signal's number into a pipe; the main thread reads it at its next round of events
// (also inside a running task, whose runner processes events) and announces Received, so the
// program can end as its window's closing does: the task stopped, its pieces removed, the
// settings saved. One object serves the whole process.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // The process's object; the handlers are installed when it is first asked for.
    static TerminationSignals& Instance();

signals:
    void Received(int signalNumber);

private:
    TerminationSignals();
    void ReadPipe();

    QSocketNotifier* notifier_ = nullptr;
};
