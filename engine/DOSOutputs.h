#pragma once

#include "engine/ChildProcess.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <sys/types.h>

class QSocketNotifier;

// Runs one command line as a child process and hands its console output to the owner piece by
// piece through ReceiveOutputs. The child's standard output and standard error go into one
// pipe; its standard input is /dev/null; it runs in a process group of its own and never
// outlives Quenlet (ChildProcess).
//
// A run is synchronous: ExecuteCommand returns when the child has closed its output and
// exited, or when the run has been stopped. It never blocks the user interface meanwhile:
// - whenever any event loop runs (a message box's included), a socket notifier moves what the
//   child has written into a buffer, so the child never waits on a full pipe;
// - while the buffer is empty the run waits in short bounded polls and lets the user interface
//   process its events between them (Platform::ProcessEventsWhileWaiting);
// - the buffer is handed out in pieces of at most 512 bytes, each after six rounds of event
//   processing (Platform::ProcessEvents), so a Stop button can reach SetStopConvert while the
//   run is on the stack.
//
// The command line is one text, split into arguments by the Windows rules (CommandLine.h) and
// started without a shell. Output is decoded with the locale's character set; a character whose
// bytes a 512-byte piece splits is delivered whole with the next piece.
class DOSOutputs : public QObject {
    Q_OBJECT

public:
    explicit DOSOutputs(QObject* parent = nullptr);
    // Kills what a run still holds, at once and without processing events.
    ~DOSOutputs() override;
    DOSOutputs(const DOSOutputs&) = delete;
    DOSOutputs& operator=(const DOSOutputs&) = delete;

    QString CommandLine() const { return commandLine_; }
    void SetCommandLine(const QString& commandLine) { commandLine_ = commandLine; }

    // All text delivered in the current or last run, in arrival order.
    QString Outputs() const { return outputs_; }

    // Runs DOSCommand (stored as the command line) or, when it is empty, the stored command line.
    // Returns the whole output on a normal end; an empty text after a stop or when the child
    // could not be started (a message tells why). A run started from inside a running one's
    // events is refused with an empty result.
    QString ExecuteCommand(const QString& DOSCommand);

    // Ends the running child as a stop does (see SetStopConvert) and closes the pipe, processing
    // events while it waits. Does nothing when no run holds a child; safe to call more than once.
    void CleanUp();

    // Sets the stop flag. A run acts on it as soon as it is back from processing events or from
    // delivering a piece: a termination signal to the child's group (the encoder then finishes
    // its file), a kill when the group has not ended within 3 s, then "Cancelled" as the last
    // piece (see SetStopGrace). A flag set between runs stops the next run before it starts its
    // child; every run clears the flag when it ends.
    void SetStopConvert(bool stopConvert) { stopConvert_ = stopConvert; }

    // How long a stopped child may take to end after the termination signal before its group
    // is killed: 3 s by default, time for the encoder to finish its file. An owner that throws
    // the file of a stopped run away gives it less.
    void SetStopGrace(int milliseconds) { stopGraceMs_ = milliseconds; }

    // The process id of the running child, 0 when no run holds one.
    pid_t ProcessId() const { return child_.Id(); }

    // How the child of the last run ended (Kind::None when none was started, or while one runs).
    ChildProcess::Ending LastChildEnding() const { return lastEnding_; }

signals:
    void ReceiveOutputs(QString& CommandOutputs);

private:
    bool StartRun();
    QString ReadUntilEnd();
    QString StopRun();
    bool WaitRound();
    bool WaitForChildExit();
    void TerminateChild();
    void Release();
    void DrainOutput();
    QByteArray TakePiece();
    qsizetype PendingSize() const { return pending_.size() - pendingStart_; }
    void UpdateNotifier();

    QString commandLine_;
    QString outputs_;
    ChildProcess child_;
    ChildProcess::Ending lastEnding_;
    int readEnd_ = -1; // the pipe of the current run; -1 when no run holds one
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray pending_;         // read from the pipe, not yet handed out
    qsizetype pendingStart_ = 0; // what lies before this in pending_ has been handed out
    bool endOfOutput_ = false;
    bool stopConvert_ = false;
    int stopGraceMs_ = 3000;
    bool busy_ = false;   // ExecuteCommand is on the stack
    bool ending_ = false; // TerminateChild is on the stack
};
