#include "app/InputIntake.h"

#include "app/MainPanel.h"
#include "app/MediaTimeCheck.h"
#include "app/Session.h"
#include "app/modDialog.h"
#include "engine/CVideoConv.h"
#include "engine/Diagnostics.h"
#include "engine/Platform.h"
#include "preview/Slider.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QUrl>

// Every pattern is a file pattern "*.<ext>": the two that lacked their "*." and the "*.mp4,*.mov"
// pair written with a comma matched nothing before. The common files also take the video types
// the presets write (webm, 3gp, 3g2, mxf, vob), Ogg video and the AVCHD/Blu-ray transport
// streams (m2ts, mts, m2t).
const QList<QStringList> InputIntake::VideoFilterList{
    {QStringLiteral("Common Video Files"),
     QStringLiteral("*.wmv;*.asf;*.avi;*.mpg;*.mpe;*.mp2;*.mpeg;*.mp4;*.mov;*.dat;*.flv;*.rm;"
                    "*.rmvb;*.yuv;*.mkv;*.m4v;*.m1v;*.m2v;*.mpv2;*.mp2v;*.ts;*.tp;*.tpr;*.pva;"
                    "*.pss;*.divx;*.webm;*.3gp;*.3g2;*.ogv;*.m2ts;*.mts;*.m2t;*.mxf;*.vob")},
    {QStringLiteral("MPEG Files(.mpg,*.mpeg,*.mp2,*.mp4,*.mpe,*.m4v)"),
     QStringLiteral("*.mpg;*.mp2;*.mpeg;*.mp4;*.mpe;*.m4v;*.m1v;*.m2v;*.mpv2;*.mp2v;*.dat;*.ts;"
                    "*.tp;*.tpr;*.pva;*.pss")},
    {QStringLiteral("Windows Media Files(*.wmv,*.asf)"), QStringLiteral("*.wmv;*.asf")},
    {QStringLiteral("AVI Files(*.avi)"), QStringLiteral("*.avi")},
    {QStringLiteral("QuickTime Files-Ver2 or less(*.mov)"), QStringLiteral("*.mov")},
    {QStringLiteral("All Files(*.*)"), QStringLiteral("*.*")},
};

InputIntake::InputIntake(MainPanel* panel, QWidget* owner, Session* session, QObject* parent)
    : QObject(parent), panel_(panel), picVideoWindow_(panel->picVideoWindow), owner_(owner),
      session_(session) {
    connect(panel_->cmdAddVideoFile, &QPushButton::clicked, this,
            &InputIntake::cmdAddVideoFile_Click);
    picVideoWindow_->setAcceptDrops(true);
    picVideoWindow_->installEventFilter(this);
}

// The video area forgets the filter by itself when the intake goes.
InputIntake::~InputIntake() = default;

QString InputIntake::VideoFilter() {
    QStringList filters;
    for (const QStringList& entry : VideoFilterList) {
        filters.append(entry.at(0) + QStringLiteral(" (") +
                       entry.at(1).split(QLatin1Char(';')).join(QLatin1Char(' ')) +
                       QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

QString InputIntake::ChooseVideoFile() {
    QString path = modDialog::OpenVideoDialog(owner_, VideoFilter(),
                                              QStringLiteral("Select a video file"), true);
    if (path == QLatin1String("Cancel")) {
        return {};
    }
    path.remove(QChar(u'\0'));
    return path;
}

void InputIntake::cmdAddVideoFile_Click() {
    try {
        const QString path = ChooseVideoFile();
        if (path.isEmpty()) {
            return;
        }
        TakeInFile(path);
    } catch (...) {
        // Nothing may leave a click handler.
    }
}

void InputIntake::TakeInStartupFile(const QString& path) {
    try {
        // A path that names no file is not skipped as the dialog would (it never offers one):
        // the encoder cannot read it, and the user hears so.
        TakeInFile(path);
    } catch (...) {
        // Nothing may leave an event handler.
    }
}

void InputIntake::picVideoWindow_OLEDragDrop(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return;
    }
    QString first;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            first = url.toLocalFile();
            break;
        }
    }
    if (first.isEmpty()) {
        return;
    }
    TakeInFile(first);
}

void InputIntake::TakeInFile(const QString& path) {
    const quint64 generation = ++intakeGeneration_;
    Q_EMIT IntakeStarted(path);
    session_->SetInputFile(path);

    bool supported = false;
    {
        CVideoConv probe; // made for this question only
        probes_.append(&probe);
        const auto forget = qScopeGuard([this, &probe] { probes_.removeOne(&probe); });
        // A still picture is read by the encoder, but has no time to mark or cut.
        supported = probe.IsFileSupported(path) && MediaTimeCheck::HasTime(probe.RunOutputs());
    }
    if (generation != intakeGeneration_) {
        return; // another file was taken in while the encoder looked at this one
    }
    if (!supported) {
        Platform::ShowMessage(QStringLiteral("File is not supported"),
                              Platform::MessageIcon::Exclamation);
        return;
    }
    if (LoadVideo) {
        LoadVideo(path);
    }
    // The slider takes the pointer now, also when the player could not show the file.
    panel_->Slider->SetEnabled(true);
    qCInfo(Diagnostics).noquote() << "video taken in:" << path
                                  << "time:" << panel_->lblTime->text();
}

void InputIntake::AbandonProbe() {
    if (probes_.isEmpty()) {
        return;
    }
    ++intakeGeneration_; // the file being looked at gives way, as to a newer one
    for (CVideoConv* probe : std::as_const(probes_)) {
        probe->StopConversion();
    }
}

bool InputIntake::eventFilter(QObject* watched, QEvent* event) {
    // Only the address is compared: the panel may be going away while its children still get
    // events.
    if (watched != picVideoWindow_) {
        return false;
    }
    try {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (!session_->Converting() && drag->mimeData() != nullptr &&
                drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (session_->Converting()) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            picVideoWindow_OLEDragDrop(drop->mimeData());
            return true;
        }
        default:
            break;
        }
    } catch (...) {
        // Nothing may leave an event handler.
    }
    return false;
}
