#include "app/frmMain.h"

#include "app/AboutPanel.h"
#include "app/CloserLook.h"
#include "app/ConversionTask.h"
#include "app/InputIntake.h"
#include "app/KeyboardShortcuts.h"
#include "app/MainPanel.h"
#include "app/OutputFolder.h"
#include "app/SavedLine.h"
#include "app/Session.h"
#include "app/SlidingPanels.h"
#include "app/TaskReport.h"
#include "app/TerminationSignals.h"
#include "app/Theme.h"
#include "app/modDialog.h"
#include "engine/CVideoConv.h"
#include "engine/Diagnostics.h"
#include "engine/OutputNaming.h"
#include "engine/Platform.h"
#include "engine/WorkFolder.h"
#include "formats/CutParameters.h"
#include "formats/FormatPanel.h"
#include "preview/CutSelection.h"
#include "preview/PreviewPlayer.h"
#include "preview/Slider.h"
#include "settings/RememberedSettings.h"
#include "settings/StoreFolder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

frmMain::frmMain(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setWindowTitle(QString::fromLatin1(Platform::ApplicationTitle));
    setObjectName(QStringLiteral("frmMain"));
    setPalette(Theme::Palette());
    setStyleSheet(Theme::StyleSheet());

    session = new Session(this);
    frMain = new MainPanel(this);
    frAbout = new AboutPanel(this);
    frFormats = new FormatPanel(frMain->lblFormat, this);
    panels = new SlidingPanels(this, frMain, frAbout, frFormats, frAbout->lblVer, this);

    ConnectWindowControls();
    ConnectSettings();
    ConnectPreview();
    ConnectTask();
    ConnectIntake();
    ConnectKeyboard();
    // The journey starts with loading a video.
    frMain->cmdAddVideoFile->setFocus(Qt::OtherFocusReason);
    connect(&TerminationSignals::Instance(), &TerminationSignals::Received, this,
            &frmMain::EndProgram);
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::Form_Load() {
    session->SetNoMedia(true);
    panels->PlaceSlidingPanels();
    frFormats->LoadPresets();
    frFormats->LoadCodecs();
    settings->LoadSettings();
    // What a cut killed on its way left in the folders it wrote to (noted in the store) and in
    // the chosen output folder goes now.
    WorkFolder::SetJournal(QDir(Platform::StoreFolder()).filePath(QStringLiteral("work-folders")));
    WorkFolder::SweepJournal();
    WorkFolder::SweepFolder(OutputNaming::FolderPath(frMain->txtOutPath->text()));
    qCInfo(Diagnostics).noquote() << "started with" << frFormats->cmbCategory->count()
                                  << "preset categories from"
                                  << Platform::DataFilePath(QStringLiteral("presets.xml")) << "and"
                                  << frFormats->cmbCVCodec->count() << "video codecs from"
                                  << Platform::DataFilePath(QStringLiteral("codecs.xml"))
                                  << "- format:" << frMain->lblFormat->text().simplified();
}

void frmMain::ConnectWindowControls() {
    connect(frMain->cmdAbout, &QPushButton::clicked, this,
            [this] { panels->OpenPanel(frAbout, frMain->cmdAbout); });
    connect(frMain->cmdChangeFormat, &QPushButton::clicked, this,
            [this] { panels->OpenPanel(frFormats, frMain->cmdChangeFormat); });
    connect(frAbout->cmdCloseHelp, &QPushButton::clicked, panels, &SlidingPanels::ClosePanel);
    connect(frFormats, &FormatPanel::CloseRequested, panels, &SlidingPanels::ClosePanel);
    // However the format panel closes, the main view then describes what Start will use.
    panels->onPanelClosing = [this] { frFormats->UpdateFormatLabel(); };
    panels->onPanelParked = [this] {
        // Redraw what the panel uncovered.
        frMain->picVideoWindow->update();
        frMain->Slider->hide();
        frMain->Slider->show();
    };

    connect(frMain, &MainPanel::PanelPressed, this, [this] { modDialog::DragWindow(this); });
    connect(frMain->cmdMinimize, &QPushButton::clicked, this, &QWidget::showMinimized);
    connect(frMain->cmdClose, &QPushButton::clicked, this, &frmMain::cmdClose_Click);
    connect(frMain->MyButton1, &QPushButton::clicked, this, &frmMain::MyButton1_Click);
}

// The remembered settings: restored at start-up, saved on closing, "Restore Defaults".
void frmMain::ConnectSettings() {
    settings = new RememberedSettings(frFormats, frMain->optSameFolder, frMain->optOtherFolder,
                                      frMain->txtOutPath, frMain->cmdBrowse, this);
    connect(frFormats->cmdDefaults, &QPushButton::clicked, settings,
            &RememberedSettings::cmdDefaults_Click);
}

void frmMain::ConnectPreview() {
    // One libmpv engine, made at the first load, plays every file after it in the same picture.
    player = new PreviewPlayer(&PreviewPlayer::NewMpvEngine, frMain->picVideoWindow, frMain->Slider,
                               frMain->cmdPlay, frMain->lblTime, this, this);
    connect(player, &PreviewPlayer::NoMediaChanged, session, &Session::SetNoMedia);
    selection = new CutSelection(
        frMain->Slider, frMain->lblStartSelect, frMain->lblEndSelect,
        [this] { return session->NoMedia(); }, this);
    connect(frMain->cmdPlay, &QPushButton::clicked, player, &PreviewPlayer::cmdPlay_Click);
    connect(frMain->cmdStop, &QPushButton::clicked, player, &PreviewPlayer::cmdStop_Click);
    // Releasing the mouse on the slider seeks, and so does a click that moved its handle. The
    // arguments are references.
    connect(frMain->Slider, &Slider::MouseUp, player, &PreviewPlayer::Slider_MouseUp,
            Qt::DirectConnection);
    connect(frMain->Slider, &Slider::DblClick, player, &PreviewPlayer::Slider_DblClick,
            Qt::DirectConnection);
    // The slider's keys seek as a release of the mouse does.
    connect(frMain->Slider, &Slider::KeyMoved, player, &PreviewPlayer::Slider_KeyMoved);
    connect(frMain->cmdStartSelect, &QPushButton::clicked, selection,
            &CutSelection::cmdStartSelect_Click);
    connect(frMain->cmdEndSelect, &QPushButton::clicked, selection,
            &CutSelection::cmdEndSelect_Click);
    connect(frMain->cmdDeleteSelect, &QPushButton::clicked, selection,
            &CutSelection::cmdDeleteSelect_Click);
}

void frmMain::ConnectTask() {
    outputFolder = new OutputFolder(frMain, this, this);

    ConversionTask::Controls controls;
    controls.cmdConvert = frMain->cmdConvert;
    controls.lblProgress = frMain->lblProgress;
    controls.progress = frMain->progress;
    controls.chkShutdown = frMain->chkShutdown;
    controls.optSameFolder = frMain->optSameFolder;
    controls.txtOutPath = frMain->txtOutPath;
    controls.Slider = frMain->Slider;
    controls.taskControls =
        QList<QWidget*>{frMain->cmdChangeFormat, frMain->cmdPlay,        frMain->cmdBrowse,
                        frMain->optSameFolder,   frMain->optOtherFolder, frMain->cmdAddVideoFile,
                        frMain->cmdAbout,        frMain->cmdStartSelect, frMain->cmdStop,
                        frMain->cmdEndSelect,    frMain->cmdDeleteSelect};
    task = new ConversionTask(controls, frFormats, session, this);
    task->StopPreview = [this] { player->cmdStop_Click(); };
    report = new TaskReport(task, session, frMain->progress, frMain->Slider, frMain->savedLine,
                            this, this);
    // What the cut could not keep of the source, or how it was made: beside its saved line.
    report->CompletionNote = [](const CVideoConv& converter) { return converter.Notice(); };
    task->GetParamaters = [this] {
        return CutParameters::GetParamaters(frFormats->Choice(), frFormats->presets,
                                            frFormats->codecs, frMain->Slider->SelectStart(),
                                            frMain->Slider->SelectEnd());
    };
}

// A file taken in: each part resets what it showed of the previous file, in this order.
void frmMain::ConnectIntake() {
    intake = new InputIntake(frMain, this, session, this);
    connect(intake, &InputIntake::IntakeStarted, player, &PreviewPlayer::UnloadVideo);
    connect(intake, &InputIntake::IntakeStarted, selection, &CutSelection::cmdDeleteSelect_Click);
    connect(intake, &InputIntake::IntakeStarted, task, &ConversionTask::ClearProgress);
    connect(intake, &InputIntake::IntakeStarted, report, &TaskReport::ClearSaved);
    intake->LoadVideo = [this](const QString& path) {
        player->LoadVideo(path);
        // A loaded video is marked with the slider's keys: the focus goes there.
        if (!session->NoMedia() && frMain->isEnabled()) {
            frMain->Slider->setFocus(Qt::OtherFocusReason);
        }
    };
}

// The keyboard: every step of the journey without the mouse, and the closer look.
void frmMain::ConnectKeyboard() {
    closer = new CloserLook(
        this, frMain, [this] { return !session->NoMedia() && !panels->PanelOpen(); }, this);
    keys = new KeyboardShortcuts(this, frMain, this);
    keys->AddButton(QKeySequence(Qt::Key_Space), frMain->cmdPlay, QStringLiteral("Play or pause"));
    keys->AddButton(QKeySequence(Qt::Key_I), frMain->cmdStartSelect,
                    QStringLiteral("Mark the start of the cut"));
    keys->AddButton(QKeySequence(Qt::Key_O), frMain->cmdEndSelect,
                    QStringLiteral("Mark the end of the cut"));
    keys->AddButton(QKeySequence(Qt::CTRL | Qt::Key_O), frMain->cmdAddVideoFile,
                    QStringLiteral("Load a video file"));
    keys->AddButton(QKeySequence(Qt::CTRL | Qt::Key_Enter), frMain->cmdConvert, QString());
    keys->AddButton(QKeySequence(Qt::CTRL | Qt::Key_Return), frMain->cmdConvert,
                    QStringLiteral("Start or stop the cut"));
    keys->AddButton(QKeySequence(Qt::Key_F1), frMain->MyButton1, QStringLiteral("Help"));
    keys->AddButton(QKeySequence(Qt::CTRL | Qt::Key_Q), frMain->cmdClose, QStringLiteral("Close"));
    keys->AddAction(QKeySequence(Qt::Key_F), [this] { closer->Toggle(); });
    // Steps of the seek slider, from anywhere in the main view, as on the slider itself.
    for (const int key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_PageUp, Qt::Key_PageDown,
                          Qt::Key_Home, Qt::Key_End}) {
        keys->AddAction(
            QKeySequence(key),
            [this, key] {
                if (session->NoMedia()) {
                    return;
                }
                frMain->Slider->PressKey(key);
            },
            true);
    }
    keys->AddWindowAction(QKeySequence(Qt::Key_Escape), [this] {
        if (closer->Active()) {
            closer->Leave();
        } else if (panels->OpenedPanel() == frAbout) {
            panels->ClosePanel();
        } else if (panels->OpenedPanel() == frFormats) {
            frFormats->cmdHide_Click(); // its checks first, as "Save && Close"
        }
    });
    frAbout->cmdCloseHelp->setToolTip(
        KeyboardShortcuts::ToolTip(QStringLiteral("Close"), QKeySequence(Qt::Key_Escape)));
    frFormats->cmdHide->setToolTip(
        KeyboardShortcuts::ToolTip(QStringLiteral("Save and close"), QKeySequence(Qt::Key_Escape)));
    frMain->Slider->setToolTip(
        QStringLiteral("Position (Left, Right: one second; Page Up, Page Down: ten seconds)"));
    frMain->picVideoWindow->setToolTip(KeyboardShortcuts::ToolTip(
        QStringLiteral("Double-click for a closer look"), QKeySequence(Qt::Key_F)));
}

void frmMain::cmdClose_Click() {
    if (session->Converting()) {
        Platform::ShowMessage(QStringLiteral("Please Stop the running task first."),
                              Platform::MessageIcon::Exclamation);
        return;
    }
    close();
}

void frmMain::MyButton1_Click() {
    modDialog::OpenDocument(
        QUrl::fromLocalFile(Platform::DataFilePath(QStringLiteral("Help.html"))));
}

void frmMain::EndProgram() {
    close();
    QApplication::quit();
}

void frmMain::closeEvent(QCloseEvent* event) {
    // Closing is never refused here, whatever its reason; only the close button refuses while a
    // task runs. A task or a look at a new file still on the stack is ended first, so that it
    // unwinds at once and the program ends with its window instead of running on unseen.
    task->AbandonTask();
    intake->AbandonProbe();
    settings->SaveSettings();
    event->accept();
}
