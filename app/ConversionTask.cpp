#include "engine/ConversionTask.h"

#include "engine/CVideoConv.h"
#include "engine/OutputNaming.h"
#include "engine/Platform.h"
#include "engine/modMain.h"
#include "formats/FormatPanel.h"
#include "preview/Slider.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
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

// Counts a task on the stack for as long as it lives.
class DepthGuard {
public:
    explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& depth_;
};

} // namespace

ConversionTask::ConversionTask(const Controls& controls, const FormatPanel* formats,
                               const bool& bNoMedia, bool& bConverting, const QString& sInputFile,
                               QObject* parent)
    : QObject(parent), controls_(controls), formats_(formats), bNoMedia_(bNoMedia),
      bConverting_(bConverting), sInputFile_(sInputFile) {
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
            startAfterUnwind_ = true;
            return;
        }
        RunOneTask();
        // Starts clicked while the task unwound after a Stop, one after the other.
        while (std::exchange(startAfterUnwind_, false)) {
            if (!StartChecksPass()) {
                return;
            }
            RunOneTask();
        }
    } catch (...) {
        // Nothing may leave a click handler.
    }
}

bool ConversionTask::StartChecksPass() {
    if (bNoMedia_) {
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

void ConversionTask::StopTask() {
    stopRequested_ = true;
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
    startAfterUnwind_ = false;
    if (cConvert) {
        cConvert->AbandonConversion();
    }
    StopTask();
}

void ConversionTask::RunOneTask() {
    controls_.lblProgress->setText(ProgressCaption);
    controls_.cmdConvert->setText(StopCaption);
    EnableTaskControls(false);
    stopRequested_ = false;
    bool completed = false;
    {
        const DepthGuard onStack(taskDepth_);
        completed = RunConversionTask();
    }
    // A stopped task never powers the machine off: the user is at it.
    const bool stopped = std::exchange(stopRequested_, false);
    if (completed && !stopped && controls_.chkShutdown->isChecked()) {
        modMain::ShutdownComputer();
    }
    controls_.cmdConvert->setText(StartCaption);
    EnableTaskControls(true);
    if (controls_.lblProgress->text() == ProgressCaption) {
        controls_.progress->setValue(100);
    }
}

bool ConversionTask::RunConversionTask() {
    bConverting_ = true;
    try {
        const QString extension = formats_->Container();
        const QString outputFile = BuildOutputFileName(sInputFile_, extension);
        // Without an output name (the reason has been shown) or after a Stop clicked while the
        // name was found, the encoder is not run.
        if (!outputFile.isEmpty() && !stopRequested_) {
            ConvertVideo(sInputFile_, outputFile);
        }
    } catch (...) {
        // The rest of the step is abandoned without a message.
    }
    bConverting_ = false;
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
            if (formats_->PresetMode()) {
                Platform::ShowMessage(QStringLiteral("No preset matches the selected format."),
                                      Platform::MessageIcon::Exclamation);
            }
            return;
        }
        converter->SetParametrs(parameters + QStringLiteral(" -y"));
        const qint64 length = static_cast<qint64>(controls_.Slider->SelectEnd()) -
                              static_cast<qint64>(controls_.Slider->SelectStart());
        converter->SetFileTimeLength(static_cast<float>(length));
        if (stopRequested_) {
            return;
        }
        converter->StartConversion();
        if (stopRequested_ || !converter->Completed()) {
            // A stopped or failed encoder leaves a part of a file behind (an mp4 without its
            // index plays nowhere) or an empty one, which must not keep the clean name. The
            // name was free when the task began, so the file is the encoder's.
            QFile::remove(outFile);
        }
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
    if (stopRequested_ && cConvert && sender() == cConvert.get()) {
        cConvert->StopConversion();
    }
    if (!bConverting_) {
        return;
    }
    // The bar shows 0 to 100: the encoder's time passing the cut's end shows full, an unknown
    // format (-1) empty.
    controls_.progress->setValue(std::clamp<int>(iProgress, 0, 100));
}

void ConversionTask::cConvert_CurrentStatus(QString& sStatus) {
    Q_UNUSED(sStatus); // nothing on the window shows the status
}
