#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class CVideoConv;
class FormatPanel;
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

    // `bNoMedia`, `bConverting` and `sInputFile` are the main window's state; the task reads
    // the first and the third and keeps the second.
    ConversionTask(const Controls& controls, const FormatPanel* formats, const bool& bNoMedia,
                   bool& bConverting, const QString& sInputFile, QObject* parent = nullptr);
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
    // Runs one task: names the output and converts. Returns true.
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

    // True from the start of a task until it has unwound (also after its Stop).
    bool TaskOnStack() const { return taskDepth_ > 0; }

    // Ends a task on the stack as its Stop button does, for good: no Start clicked meanwhile
    // follows it, and the stopped conversion shows no message (the window is closing).
    void AbandonTask();

private:
    bool StartChecksPass();
    void StopTask();
    void RunOneTask();

    Controls controls_;
    const FormatPanel* formats_;
    const bool& bNoMedia_;
    bool& bConverting_;
    const QString& sInputFile_;

    int taskDepth_ = 0;
    bool stopRequested_ = false;
    bool startAfterUnwind_ = false;
};
