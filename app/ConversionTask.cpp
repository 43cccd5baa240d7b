#include "app/ConversionTask.h"

#include "app/Session.h"
#include "engine/CVideoConv.h"
#include "engine/OutputNaming.h"
#include "engine/Platform.h"
#include "engine/modMain.h"
#include "formats/FormatPanel.h"
#include "preview/Slider.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <utility>

namespace {

const QString StartCaption = QStringLiteral("Start");
const QString StopCaption = QStringLiteral("Stop");
const QString ProgressCaption = QStringLiteral("Task Progress:");
const QString StoppedCaption = QStringLiteral("Task Progress:[Stopped]");

void ShowInformation(const QString& text) {
    Platform::ShowMessage(text, Platform::MessageIcon::Information);
}

} // namespace

ConversionTask::ConversionTask(const Controls& controls, const FormatPanel* formats,
                               Session* session, QObject* parent)
    : QObject(parent), controls_(controls), formats_(formats), session_(session) {
    connect(controls_.cmdConvert, &QPushButton::clicked, this, &ConversionTask::cmdConvert_Click);
}

ConversionTask::~ConversionTask() = default;

void ConversionTask::cmdConvert_Click() {
    try {
        if (!StartChecksPass()) {
            return;
        }
        if (controls_.cmdConvert->text() == StopCaption) {
            StopTask();
            return;
        }
        if (TaskOnStack()) {
            // A stopped task is still unwinding below this click: start once it has.
            state_ = TaskState::RestartPending;
            return;
        }
        // Starts clicked while the task unwound after a Stop, one after the other.
        while (RunOneTask()) {
            if (!StartChecksPass()) {
                return;
            }
        }
    } catch (...) {
        // Nothing may leave a click handler.
    }
}

bool ConversionTask::StartChecksPass() {
    if (session_->NoMedia()) {
        ShowInformation(QStringLiteral("No video file loaded"));
        return false;
    }
    const qint64 start = controls_.Slider->SelectStart();
    const qint64 end = controls_.Slider->SelectEnd();
    if (end - start == 0) {
        ShowInformation(QStringLiteral("No part selected. Please, select a part first using "
                                       "'Start Selection' and 'End Selection'."));
        return false;
    }
    if (end < start) {
        ShowInformation(QStringLiteral("No part selected, 'Start Selection' can not be greater "
                                       "than 'End Selection'."));
        return false;
    }
    return true;
}

bool ConversionTask::StopRequested() const {
    return state_ == TaskState::Stopping || state_ == TaskState::RestartPending;
}

void ConversionTask::StopTask() {
    // A Stop without a task on the stack changes nothing but the controls.
    if (state_ != TaskState::Idle) {
        state_ = TaskState::Stopping;
    }
    if (cConvert) {
        cConvert->StopConversion();
    }
    controls_.cmdConvert->setText(StartCaption);
    EnableTaskControls(true);
    controls_.lblProgress->setText(StoppedCaption);
}

void ConversionTask::AbandonTask() {
    if (!TaskOnStack()) {
        return;
    }
    if (cConvert) {
        cConvert->AbandonConversion();
    }
    StopTask(); // also forgets a pending restart
}

bool ConversionTask::RunOneTask() {
    controls_.lblProgress->setText(ProgressCaption);
    controls_.cmdConvert->setText(StopCaption);
    EnableTaskControls(false);
    state_ = TaskState::Running;
    completed_ = false;
    RunConversionTask(); // catches everything
    const TaskState unwound = std::exchange(state_, TaskState::Idle);
    // Only a task that completed powers the machine off: after a stop the user is at it, and
    // after a failure the cut is not there.
    const bool stopped = unwound != TaskState::Running;
    const bool completed = completed_ && !stopped;
    if (completed && controls_.chkShutdown->isChecked()) {
        modMain::ShutdownComputer();
    }
    controls_.cmdConvert->setText(StartCaption);
    EnableTaskControls(true);
    // A full bar says the cut is there; a failed one leaves an empty bar under its message.
    if (controls_.lblProgress->text() == ProgressCaption) {
        controls_.progress->setValue(completed ? 100 : 0);
    }
    Q_EMIT TaskEnded();
    return unwound == TaskState::RestartPending;
}

bool ConversionTask::RunConversionTask() {
    session_->SetConverting(true);
    try {
        const QString extension = formats_->Choice().Container();
        const QString inputFile = session_->InputFile();
        const QString outputFile = BuildOutputFileName(inputFile, extension);
        // Without an output name (the reason has been shown) or after a Stop clicked while the
        // name was found, the encoder is not run.
        if (!outputFile.isEmpty() && !StopRequested()) {
            ConvertVideo(inputFile, outputFile);
        }
    } catch (...) {
        // The rest of the step is abandoned without a message.
    }
    session_->SetConverting(false);
    return true;
}

void ConversionTask::ConvertVideo(const QString& origfile, const QString& outFile) {
    try {
        controls_.lblProgress->show();
        controls_.progress->setValue(0);
        controls_.progress->show();
        if (StopPreview) {
            StopPreview();
        }

        // The task holds its converter until StartConversion has returned, whatever happens to
        // cConvert meanwhile.
        const auto converter = std::make_shared<CVideoConv>();
        connect(converter.get(), &CVideoConv::Progress, this, &ConversionTask::cConvert_Progress,
                Qt::DirectConnection);
        connect(converter.get(), &CVideoConv::CurrentStatus, this,
                &ConversionTask::cConvert_CurrentStatus, Qt::DirectConnection);
        cConvert = converter;
        converter->SetInputFile(origfile);
        converter->SetOutputFile(outFile);

        const QString parameters = GetParamaters ? GetParamaters() : QString();
        if (parameters.isEmpty()) {
            // Without the cut range the encoder would convert the whole input: it is not run.
            // A custom format's failure has been reported; a preset mismatch is reported here.
            if (formats_->Choice().presetMode) {
                Platform::ShowMessage(QStringLiteral("No preset matches the selected format."),
                                      Platform::MessageIcon::Exclamation);
            }
            return;
        }
        converter->SetParametrs(parameters + QStringLiteral(" -y"));
        const qint64 length = static_cast<qint64>(controls_.Slider->SelectEnd()) -
                              static_cast<qint64>(controls_.Slider->SelectStart());
        converter->SetFileTimeLength(static_cast<float>(length));
        if (StopRequested()) {
            return;
        }
        // The converter writes in a work folder of its own and names the output only once it
        // is checked, so nothing of a stopped or failed cut is left under a name.
        converter->StartConversion();
        completed_ = converter->Completed();
    } catch (...) {
        controls_.lblProgress->hide();
        controls_.progress->hide();
    }
}

QString ConversionTask::BuildOutputFileName(const QString& sInput, const QString& sExtension) {
    const QString folder = controls_.optSameFolder->isChecked()
                               ? QFileInfo(sInput).absolutePath()
                               : OutputNaming::FolderPath(controls_.txtOutPath->text());
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        QDir().mkdir(folder); // one level: its parent must exist
    }
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        Platform::ShowMessage(QStringLiteral("Output Folder is not exist and can not be created."),
                              Platform::MessageIcon::Error);
        return {};
    }
    return OutputNaming::FreeOutputName(folder, sInput, sExtension);
}

void ConversionTask::EnableTaskControls(bool enabled) {
    for (QWidget* control : std::as_const(controls_.taskControls)) {
        control->setEnabled(enabled);
    }
}

void ConversionTask::cConvert_Progress(qint16& iProgress) {
    // A Stop clicked before the runner had started its run did not reach the runner; it is
    // passed on now, with the first progress line, so the encoder still ends early.
    if (StopRequested() && cConvert && sender() == cConvert.get()) {
        cConvert->StopConversion();
    }
    if (!session_->Converting()) {
        return;
    }
    // The bar shows 0 to 100: the encoder's time passing the cut's end shows full, an unknown
    // format (-1) empty.
    controls_.progress->setValue(std::clamp<int>(iProgress, 0, 100));
}

void ConversionTask::ClearProgress() {
    controls_.lblProgress->hide();
    controls_.progress->setValue(0);
    controls_.progress->hide();
}

void ConversionTask::cConvert_CurrentStatus(QString& sStatus) {
    Q_UNUSED(sStatus); // nothing on the window shows the status
}
