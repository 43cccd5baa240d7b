#include "app/TaskReport.h"

#include "app/ConversionTask.h"
#include "app/SavedLine.h"
#include "app/Session.h"
#include "app/modDesktop.h"
#include "engine/CVideoConv.h"
#include "preview/Slider.h"

#include <QFileInfo>
#include <QProgressBar>
#include <QWidget>

const QString TaskReport::PlainFormat = QStringLiteral("%p%");

TaskReport::TaskReport(ConversionTask* task, Session* session, QProgressBar* progress,
                       Slider* slider, SavedLine* savedLine, QWidget* window, QObject* parent)
    : QObject(parent), task_(task), session_(session), progress_(progress), slider_(slider),
      savedLine_(savedLine), window_(window) {
    connect(session_, &Session::ConvertingChanged, this, [this](bool converting) {
        if (converting) {
            TaskStarted();
        }
    });
    connect(progress_, &QProgressBar::valueChanged, this, &TaskReport::ProgressChanged);
    connect(task_, &ConversionTask::TaskEnded, this, &TaskReport::TaskEnded);
}

QString TaskReport::EstimateFormat(const TaskProgressEstimate::Estimate& estimate) {
    return PlainFormat + QStringLiteral(" \u00B7 ") + TaskProgressEstimate::Text(estimate);
}

void TaskReport::ClearSaved() {
    savedLine_->Clear();
}

void TaskReport::TaskStarted() {
    running_ = true;
    converterBefore_ = task_->cConvert.get();
    savedLine_->Clear();
    progress_->setFormat(PlainFormat);
    progress_->setAccessibleDescription(QString());
    const double length =
        static_cast<double>(slider_->SelectEnd()) - static_cast<double>(slider_->SelectStart());
    clock_.start();
    estimate_.Start(length, 0.0);
    modDesktop::SetLauncherProgress(0.0, true);
}

void TaskReport::ProgressChanged(int percent) {
    if (!running_ || !session_->Converting()) {
        return;
    }
    modDesktop::SetLauncherProgress(percent / 100.0, true);
    const auto estimate = estimate_.Update(percent, clock_.elapsed() / 1000.0);
    if (estimate) {
        progress_->setFormat(EstimateFormat(*estimate));
        progress_->setAccessibleDescription(TaskProgressEstimate::Text(*estimate));
    }
}

void TaskReport::TaskEnded() {
    if (!running_) {
        return;
    }
    running_ = false;
    progress_->setFormat(PlainFormat);
    progress_->setAccessibleDescription(QString());
    modDesktop::SetLauncherProgress(0.0, false);
    const CVideoConv* converter = task_->cConvert.get();
    if (converter == nullptr || converter == converterBefore_ || !converter->Completed()) {
        return;
    }
    // The name the output finally got, read after the run.
    const QString output = converter->OutputFile();
    if (output.isEmpty() || !QFileInfo::exists(output)) {
        return;
    }
    const QString note = CompletionNote ? CompletionNote(*converter) : QString();
    savedLine_->ShowSaved(output, note);
    if (!window_->isActiveWindow()) {
        modDesktop::Notify(SavedLine::FullText(output), note);
    }
}
