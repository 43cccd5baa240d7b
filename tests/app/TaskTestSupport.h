#pragma once

#include "app/ConversionTask.h"
#include "app/MainPanel.h"
#include "app/Session.h"
#include "engine/modMain.h"
#include "formats/FormatPanel.h"
#include "preview/Slider.h"
#include "tests/support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <sys/types.h>
#include <unistd.h>

namespace TaskTest {

// The controls a task disables while it runs, as the main window hands them over.
inline QList<QWidget*> TaskControlsOf(MainPanel& panel) {
    return {panel.cmdChangeFormat, panel.cmdPlay,        panel.cmdBrowse,
            panel.optSameFolder,   panel.optOtherFolder, panel.cmdAddVideoFile,
            panel.cmdAbout,        panel.cmdStartSelect, panel.cmdStop,
            panel.cmdEndSelect,    panel.cmdDeleteSelect};
}

// The main panel, the format panel with the shipped catalogs, a session and a task over them,
// without the rest of the window (a file counts as loaded). The cut's encoder arguments come
// from `parameters` (by default the marked range only), and the preview's Stop action is
// counted.
struct TaskWindow {
    TestSupport::ApplicationFolderOverride folder{TestSupport::BuildFolder()};
    MainPanel panel;
    QLabel lblFormat;
    FormatPanel formats{&lblFormat};
    Session session;
    ConversionTask task;
    int previewStops = 0;
    std::function<QString()> parameters;

    static ConversionTask::Controls ControlsOf(MainPanel& panel) {
        ConversionTask::Controls controls;
        controls.cmdConvert = panel.cmdConvert;
        controls.lblProgress = panel.lblProgress;
        controls.progress = panel.progress;
        controls.chkShutdown = panel.chkShutdown;
        controls.optSameFolder = panel.optSameFolder;
        controls.txtOutPath = panel.txtOutPath;
        controls.Slider = panel.Slider;
        controls.taskControls = TaskControlsOf(panel);
        return controls;
    }

    TaskWindow() : task(ControlsOf(panel), &formats, &session) {
        session.SetNoMedia(false);
        formats.LoadPresets();
        formats.LoadCodecs();
        UseCustomContainer(QStringLiteral("AVI"));
        task.GetParamaters = [this] {
            if (parameters) {
                return parameters();
            }
            const qint32 start = panel.Slider->SelectStart();
            return QStringLiteral("-ss %1 -t %2").arg(start).arg(panel.Slider->SelectEnd() - start);
        };
        task.StopPreview = [this] { ++previewStops; };
        panel.Slider->SetMax(100000);
        panel.show();
    }

    void UseCustomContainer(const QString& container) {
        formats.optFormat[1]->setChecked(true);
        formats.cmbCustContainer->setCurrentText(container);
    }
    void Mark(qint32 start, qint32 end) {
        panel.Slider->SetSelectStart(start);
        panel.Slider->SetSelectEnd(end);
    }
    void OutputNextToInput() { panel.optSameFolder->setChecked(true); }
    void OutputTo(const QString& folderPath) {
        panel.optOtherFolder->setChecked(true);
        panel.txtOutPath->setText(folderPath);
    }
    bool AllTaskControlsEnabled(bool enabled) {
        for (QWidget* control : TaskControlsOf(panel)) {
            if (control->isEnabled() != enabled) {
                return false;
            }
        }
        return true;
    }
};

// Records power-off requests in place of powering off.
struct ShutdownRecorder {
    int calls = 0;
    modMain::ShutdownFunction previous;
    ShutdownRecorder() {
        previous = modMain::SetShutdownFunction([this] { ++calls; });
    }
    ~ShutdownRecorder() { modMain::SetShutdownFunction(std::move(previous)); }
    ShutdownRecorder(const ShutdownRecorder&) = delete;
    ShutdownRecorder& operator=(const ShutdownRecorder&) = delete;
};

using TestSupport::ChildProcesses;
using TestSupport::Encoders;

inline bool ProcessExists(pid_t pid) {
    return QFile::exists(QStringLiteral("/proc/%1").arg(pid));
}

// Whether the process runs, as opposed to gone or ended and not yet reaped by its parent.
inline bool ProcessRunning(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    const char state = close > 0 && close + 2 < text.size() ? text.at(close + 2) : 'X';
    return state != 'Z' && state != 'X';
}

} // namespace TaskTest
