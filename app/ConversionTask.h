#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class CVideoConv;
class FormatPanel;
class Session;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QWidget;
class Slider;

// One conversion task, from the click on Start to its end: checks that a file is loaded and a
// range is marked, names the output file, runs a new CVideoConv with the cut's encoder
// arguments, shows its progress, and powers the computer off afterwards when asked to. While a
// task runs the same button reads "Stop"; its click then runs nested inside the task (the
// runner processes events while the encoder works) and stops it.
//
// Nested starts: after a Stop the controls are usable at once, while the stopped task may still
// be unwinding. A Start clicked in that moment does not start a second task inside the first;
// it is remembered, and the new task starts as soon as the stopped one has unwound (with the
// start checks made again). The converter of a running task is also held by the task itself,
// so replacing cConvert can never destroy a converter whose StartConversion is on the stack.
//
// The task's state is one value (TaskState):
//   Idle            no task on the stack
//   Running         a task runs; the button reads "Stop"
//   Stopping        Stop was clicked (or the window closes); the task is unwinding
//   RestartPending  as Stopping, and Start was clicked meanwhile: a new task follows
// Idle -> Running (Start) -> Stopping (Stop) -> RestartPending (Start) -> Running (unwound)...;
// a task that unwinds goes back to Idle unless a restart is pending.
class ConversionTask : public QObject {
    Q_OBJECT

public:
    // The main window's controls the task reads and writes.
    struct Controls {
        QPushButton* cmdConvert = nullptr;
        QLabel* lblProgress = nullptr;
        QProgressBar* progress = nullptr;
        QCheckBox* chkShutdown = nullptr;
        QRadioButton* optSameFolder = nullptr;
        QLineEdit* txtOutPath = nullptr;
        ::Slider* Slider = nullptr;
        // The controls a task disables and enables again (EnableTaskControls).
        QList<QWidget*> taskControls;
    };

    enum class TaskState { Idle, Running, Stopping, RestartPending };

    // The task reads the session's NoMedia and InputFile and keeps its Converting; the output
    // format is the panel's Choice().
    ConversionTask(const Controls& controls, const FormatPanel* formats, Session* session,
                   QObject* parent = nullptr);
    ~ConversionTask() override;

    // The encoder arguments of the marked range and the chosen format (empty after a failure,
    // which has been reported, or when no preset matches). Installed by the window.
    std::function<QString()> GetParamaters;
    // Stops the preview's playback as the preview's Stop button does. Installed by the window.
    std::function<void()> StopPreview;

    // The converter of the current or last task (null before the first task).
    std::shared_ptr<CVideoConv> cConvert;

    // The Start/Stop button's click.
    void cmdConvert_Click();
    // Runs one task: names the output and converts. Returns true, whatever the task's outcome
    // (the converter's Completed() tells it).
    bool RunConversionTask();
    // Sets up a new converter for the marked range and runs it until the encoder has ended or
    // has been stopped.
    void ConvertVideo(const QString& origfile, const QString& outFile);
    // The output path for the input and extension in the chosen folder ("Same folder as input
    // file": the input's folder, else txtOutPath (a leading "~" is the home folder), which is
    // created when missing, one level);
    // empty, after "Output Folder is not exist and can not be created.", when the folder is
    // missing and cannot be created, or when every candidate name is taken.
    QString BuildOutputFileName(const QString& sInput, const QString& sExtension);
    void EnableTaskControls(bool enabled);

    // Handlers of the converter's events.
    void cConvert_Progress(qint16& iProgress);
    void cConvert_CurrentStatus(QString& sStatus);

    TaskState State() const { return state_; }
    // True from the start of a task until it has unwound (also after its Stop).
    bool TaskOnStack() const { return state_ != TaskState::Idle; }

    // A new input is being taken in: the progress of the last task is hidden and reset.
    void ClearProgress();

    // Ends a task on the stack as its Stop button does, for good: no Start clicked meanwhile
    // follows it, and the stopped conversion shows no message (the window is closing).
    void AbandonTask();

Q_SIGNALS:
    // A task has unwound and its controls are usable again; cConvert (when this task made one)
    // tells whether it completed and the name its output finally got.
    void TaskEnded();

private:
    bool StartChecksPass();
    void StopTask();
    // Runs one task to its end; true when a Start clicked while it unwound asks for another.
    bool RunOneTask();
    // Stop was clicked on the task on the stack (Stopping or RestartPending).
    bool StopRequested() const;

    Controls controls_;
    const FormatPanel* formats_;
    Session* session_;
    TaskState state_ = TaskState::Idle;
    // Whether the conversion of the task on the stack completed.
    bool completed_ = false;
};
