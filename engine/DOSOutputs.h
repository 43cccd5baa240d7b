#pragma once

#include <QObject>
#include <QString>

#include <sys/types.h>

// Runs one command line as a child process and hands its console output to the owner piece by
// piece, as soon as it has been read, through ReceiveOutputs. The child's standard output and
// standard error go into one pipe; its standard input is /dev/null. A run is synchronous:
// ExecuteCommand returns when the child has closed its output or the run has been stopped, and
// between pieces the user interface processes its pending events (six rounds per piece), so
// that a Stop button can reach SetStopConvert while the run is on the stack.
//
// The command line is one text, split into arguments by the Windows rules (CommandLine.h) and
// started without a shell. Output is decoded with the locale's character set; a character whose
// bytes a 512-byte read splits is delivered whole with the next piece.
class DOSOutputs : public QObject {
    Q_OBJECT

public:
    explicit DOSOutputs(QObject* parent = nullptr);
    ~DOSOutputs() override;
    DOSOutputs(const DOSOutputs&) = delete;
    DOSOutputs& operator=(const DOSOutputs&) = delete;

    QString CommandLine() const { return commandLine_; }
    void SetCommandLine(const QString& commandLine) { commandLine_ = commandLine; }

    // All text received in the current or last run, in arrival order.
    QString Outputs() const { return outputs_; }

    // Runs DOSCommand (stored as the command line) or, when it is empty, the stored command line.
    // Returns the whole output on a normal end; an empty text after a stop or when the child
    // could not be started (a message tells why). A run started from inside a running one's
    // events is refused with an empty result.
    QString ExecuteCommand(const QString& DOSCommand);

    // Ends the child (SIGKILL to the direct child) if a run holds the pipe, reaps it and closes
    // the pipe. Does nothing when no run holds a pipe; safe to call more than once.
    void CleanUp();

    // Sets the stop flag; a run looks at it after each piece it has delivered.
    void SetStopConvert(bool stopConvert) { stopConvert_ = stopConvert; }

    // The process id of the running child, 0 when no run holds one.
    pid_t ProcessId() const { return processId_; }

signals:
    void ReceiveOutputs(QString& CommandOutputs);

private:
    bool StartChild(int writeEnd);
    QString ReadUntilEnd();

    QString commandLine_;
    QString outputs_;
    pid_t processId_ = 0;
    int readEnd_ = -1; // the pipe of the current run; -1 when no run holds one
    bool stopConvert_ = false;
};
