#pragma once

#include "app/TaskProgressEstimate.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>

class CVideoConv;
class ConversionTask;
class QProgressBar;
class QWidget;
class SavedLine;
class Session;
class Slider;

// Tells the user how a task goes and where its cut went, around the conversion task (which it
// only watches): while the task runs, the time left and the encoder's speed on the progress
// bar once there is enough to estimate, and the progress on the program's launcher (dock or
// task bar); when the task completed, the saved line with the output's final name and folder,
// and a desktop notification when the window is not the active one. A task that failed or was
// stopped leaves the saved line hidden.
class TaskReport : public QObject {
    Q_OBJECT

public:
    // `window` is the top-level window whose being active decides about the notification.
    TaskReport(ConversionTask* task, Session* session, QProgressBar* progress, Slider* slider,
               SavedLine* savedLine, QWidget* window, QObject* parent = nullptr);

    // The note the saved line shows after a completed cut (for example that the cut was
    // re-encoded instead of copied); none by default. Installed by the window.
    std::function<QString(const CVideoConv& converter)> CompletionNote;

    // The progress bar's text while no estimate is shown, and the text with one.
    static const QString PlainFormat;
    static QString EstimateFormat(const TaskProgressEstimate::Estimate& estimate);

    // Another file is being taken in: the saved line of the last cut goes.
    void ClearSaved();

private:
    void TaskStarted();
    void ProgressChanged(int percent);
    void TaskEnded();

    ConversionTask* task_;
    Session* session_;
    QProgressBar* progress_;
    Slider* slider_;
    SavedLine* savedLine_;
    QWidget* window_;
    TaskProgressEstimate estimate_;
    QElapsedTimer clock_;
    // The converter that was the task's before this task began: a task that made none (no
    // output name) left it in place.
    const CVideoConv* converterBefore_ = nullptr;
    bool running_ = false;
};
