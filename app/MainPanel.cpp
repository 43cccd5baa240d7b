#include "app/MainPanel.h"

#include "app/SavedLine.h"

#include "preview/PropertyBag.h"
#include "preview/Slider.h"
#include "settings/RememberedSettings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QPushButton* NewButton(const QString& caption, const char* name, QWidget* parent,
                       const QString& toolTip = QString()) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(toolTip);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QLabel* NewLabel(const QString& text, const char* name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

// A step's number in a round badge, then its caption.
QWidget* StepHeader(const QString& number, const QString& caption, QWidget* parent) {
    auto* header = new QWidget(parent);
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* badge = new QLabel(number, header);
    badge->setObjectName(QStringLiteral("stepNumber"));
    badge->setAlignment(Qt::AlignCenter);
    badge->setFixedSize(22, 22);
    auto* text = new QLabel(caption, header);
    text->setObjectName(QStringLiteral("stepCaption"));
    layout->addWidget(badge);
    layout->addWidget(text);
    layout->addStretch();
    return header;
}

} // namespace

MainPanel::MainPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("frMain"));
    setAccessibleName(QStringLiteral("Quenlet"));
    // 10920 x 8070 twips.
    setFixedSize(PanelWidth, PanelHeight);

    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(12, 0, 12, 12);
    layout_->setSpacing(4);
    titleBar_ = BuildTitleBar();
    layout_->addWidget(titleBar_);

    frSteps_ = new QGroupBox(QStringLiteral("Three Easy Steps to cut your video files"), this);
    frSteps_->setObjectName(QStringLiteral("frSteps"));
    stepsLayout_ = new QVBoxLayout(frSteps_);
    stepsLayout_->setContentsMargins(12, 6, 12, 10);
    stepsLayout_->setSpacing(8);
    stepOne_ = BuildStepOne(frSteps_);
    stepsLayout_->addWidget(stepOne_);

    stepsBottom_ = new QWidget(frSteps_);
    auto* bottom = new QHBoxLayout(stepsBottom_);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setSpacing(16);
    bottom->addWidget(BuildStepTwo(stepsBottom_), 5);
    auto* divider = new QFrame(stepsBottom_);
    divider->setObjectName(QStringLiteral("divider"));
    divider->setFrameShape(QFrame::VLine);
    bottom->addWidget(divider);
    bottom->addWidget(BuildStepThree(stepsBottom_), 2);
    stepsLayout_->addWidget(stepsBottom_);
    layout_->addWidget(frSteps_, 1);
    DescribeControls();
}

void MainPanel::SetCloserLook(bool closer) {
    if (closer == closerLook_) {
        return;
    }
    closerLook_ = closer;
    titleBar_->setVisible(!closer);
    stepOneHeader_->setVisible(!closer);
    stepsBottom_->setVisible(!closer);
    frSteps_->setTitle(closer ? QString()
                              : QStringLiteral("Three Easy Steps to cut your video files"));
    frSteps_->setProperty("closerLook", closer);
    frSteps_->style()->unpolish(frSteps_);
    frSteps_->style()->polish(frSteps_);
    if (closer) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        layout_->setContentsMargins(0, 0, 0, 0);
        stepsLayout_->setContentsMargins(10, 10, 10, 10);
        picVideoWindow->setMinimumHeight(0);
        picVideoWindow->setMaximumHeight(QWIDGETSIZE_MAX);
        stepOneLayout_->setStretchFactor(picVideoWindow, 1);
        stepsLayout_->setStretchFactor(stepOne_, 1);
    } else {
        layout_->setContentsMargins(12, 0, 12, 12);
        stepsLayout_->setContentsMargins(12, 6, 12, 10);
        picVideoWindow->setFixedHeight(PictureHeight);
        stepOneLayout_->setStretchFactor(picVideoWindow, 0);
        stepsLayout_->setStretchFactor(stepOne_, 0);
        setFixedSize(PanelWidth, PanelHeight);
    }
}

QWidget* MainPanel::BuildTitleBar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("titleBar"));
    bar->setFixedHeight(36);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(2, 6, 0, 2);
    layout->setSpacing(4);

    auto* title = new QLabel(QStringLiteral("Quenlet"), bar);
    title->setObjectName(QStringLiteral("appTitle"));
    layout->addWidget(title);
    layout->addStretch();
    savedLine = new SavedLine(bar);
    layout->addWidget(savedLine);
    layout->addSpacing(6);

    cmdAbout = NewButton(QStringLiteral("!"), "cmdAbout", bar, QStringLiteral("About"));
    MyButton1 = NewButton(QStringLiteral("?"), "MyButton1", bar, QStringLiteral("Help"));
    cmdMinimize =
        NewButton(QString(2, QChar(0x0640)), "cmdMinimize", bar, QStringLiteral("Minimize"));
    cmdClose = NewButton(QStringLiteral("X"), "cmdClose", bar, QStringLiteral("Close"));
    for (QPushButton* button : {cmdAbout, MyButton1, cmdMinimize, cmdClose}) {
        button->setProperty("titleButton", true);
        button->setFixedSize(30, 26);
        layout->addWidget(button);
    }
    return bar;
}

QWidget* MainPanel::BuildStepOne(QWidget* parent) {
    auto* step = new QWidget(parent);
    auto* layout = new QVBoxLayout(step);
    stepOneLayout_ = layout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    stepOneHeader_ = new QWidget(step);
    auto* header = new QHBoxLayout(stepOneHeader_);
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(StepHeader(QStringLiteral("1"),
                                 QStringLiteral("  - Insert Video file and mark for cut"),
                                 stepOneHeader_),
                      1);
    cmdAddVideoFile =
        NewButton(QStringLiteral("Load Video File ..."), "cmdAddVideoFile", stepOneHeader_);
    header->addWidget(cmdAddVideoFile);
    layout->addWidget(stepOneHeader_);

    picVideoWindow = new QFrame(step);
    picVideoWindow->setObjectName(QStringLiteral("picVideoWindow"));
    picVideoWindow->setFixedHeight(PictureHeight);
    picVideoWindow->setAcceptDrops(true);
    layout->addWidget(picVideoWindow);

    auto* seek = new QHBoxLayout;
    seek->setSpacing(8);
    Slider = new ::Slider(step);
    Slider->setObjectName(QStringLiteral("Slider"));
    // Stored with the window: no file yet, so a wide range and no pointer input.
    Slider->ReadProperties(PropertyBag(QVariantMap{{QStringLiteral("Value"), 0},
                                                   {QStringLiteral("Max"), 1000000},
                                                   {QStringLiteral("Min"), 0},
                                                   {QStringLiteral("Enabled"), false}}));
    Slider->setFixedHeight(20);
    lblTime = NewLabel(QStringLiteral("00:00.00/00:00.00"), "lblTime", step);
    lblTime->setMinimumWidth(128);
    lblTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    seek->addWidget(Slider, 1);
    seek->addWidget(lblTime);
    layout->addLayout(seek);

    auto* controls = new QHBoxLayout;
    controls->setSpacing(6);
    cmdPlay = NewButton(QStringLiteral("Play"), "cmdPlay", step);
    cmdStop = NewButton(QStringLiteral("Stop"), "cmdStop", step);
    cmdStartSelect = NewButton(QStringLiteral("Start Selection "), "cmdStartSelect", step);
    cmdEndSelect = NewButton(QStringLiteral("End Selection"), "cmdEndSelect", step);
    cmdDeleteSelect = NewButton(QStringLiteral("Reset Selection"), "cmdDeleteSelect", step);
    lblStartSelect = NewLabel(QStringLiteral("00:00:00"), "lblStartSelect", step);
    lblEndSelect = NewLabel(QStringLiteral("00:00:00"), "lblEndSelect", step);
    for (QLabel* mark : {lblStartSelect, lblEndSelect}) {
        mark->setProperty("markLabel", true);
        mark->setAlignment(Qt::AlignCenter);
        mark->setMinimumWidth(64);
    }
    cmdPlay->setMinimumWidth(64);
    cmdStop->setMinimumWidth(64);
    controls->addWidget(cmdPlay);
    controls->addWidget(cmdStop);
    controls->addStretch(1);
    controls->addWidget(cmdStartSelect);
    controls->addWidget(lblStartSelect);
    controls->addSpacing(6);
    controls->addWidget(cmdEndSelect);
    controls->addWidget(lblEndSelect);
    controls->addSpacing(6);
    controls->addWidget(cmdDeleteSelect);
    layout->addLayout(controls);
    return step;
}

QWidget* MainPanel::BuildStepTwo(QWidget* parent) {
    auto* step = new QWidget(parent);
    auto* grid = new QGridLayout(step);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->addWidget(StepHeader(QStringLiteral("2"),
                               QStringLiteral("  - Select Output Folder and Format"), step),
                    0, 0, 1, 3);

    grid->addWidget(new QLabel(QStringLiteral("Output Format:"), step), 1, 0);
    lblFormat = NewLabel(QString(), "lblFormat", step);
    // The description wraps onto a second line in a smaller type; the whole text is also its
    // tool tip.
    lblFormat->setWordWrap(true);
    lblFormat->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblFormat->setMinimumWidth(10);
    lblFormat->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    lblFormat->setFixedHeight(30);
    grid->addWidget(lblFormat, 1, 1);
    cmdChangeFormat = NewButton(QStringLiteral("Change..."), "cmdChangeFormat", step,
                                QStringLiteral("Change output format"));
    grid->addWidget(cmdChangeFormat, 1, 2);

    grid->addWidget(new QLabel(QStringLiteral("Output Folder:"), step), 2, 0);
    auto* options = new QHBoxLayout;
    options->setSpacing(14);
    optSameFolder = new QRadioButton(QStringLiteral("Same folder as input file"), step);
    optSameFolder->setObjectName(QStringLiteral("optSameFolder"));
    optOtherFolder = new QRadioButton(QStringLiteral("Other folder"), step);
    optOtherFolder->setObjectName(QStringLiteral("optOtherFolder"));
    optOtherFolder->setChecked(true);
    options->addWidget(optSameFolder);
    options->addWidget(optOtherFolder);
    options->addStretch();
    grid->addLayout(options, 2, 1, 1, 2);

    txtOutPath = new QLineEdit(RememberedSettings::DefaultOutPath(), step);
    txtOutPath->setObjectName(QStringLiteral("txtOutPath"));
    grid->addWidget(txtOutPath, 3, 1);
    cmdBrowse = NewButton(QStringLiteral("Browse..."), "cmdBrowse", step);
    grid->addWidget(cmdBrowse, 3, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
    return step;
}

QWidget* MainPanel::BuildStepThree(QWidget* parent) {
    auto* step = new QWidget(parent);
    auto* layout = new QVBoxLayout(step);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(StepHeader(QStringLiteral("3"), QStringLiteral("- Start the task"), step));

    auto* row = new QHBoxLayout;
    cmdConvert = NewButton(QStringLiteral("Start"), "cmdConvert", step);
    cmdConvert->setProperty("accent", true);
    cmdConvert->setMinimumSize(96, 30);
    row->addWidget(cmdConvert);
    row->addStretch();
    layout->addLayout(row);

    chkShutdown = new QCheckBox(QStringLiteral("Shutdown after task complete"), step);
    chkShutdown->setObjectName(QStringLiteral("chkShutdown"));
    layout->addWidget(chkShutdown);

    lblProgress = NewLabel(QStringLiteral("Task Progress:"), "lblProgress", step);
    progress = new QProgressBar(step);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->setFixedHeight(16);
    layout->addWidget(lblProgress);
    layout->addWidget(progress);
    layout->addStretch();
    // Hidden until a task runs; the layout keeps their room so nothing jumps when they show.
    for (QWidget* widget : {static_cast<QWidget*>(lblProgress), static_cast<QWidget*>(progress)}) {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
        widget->hide();
    }
    return step;
}

void MainPanel::DescribeControls() {
    struct Description {
        QWidget* control;
        const char* name;
        const char* description;
    };
    const Description descriptions[] = {
        {cmdAbout, "About", "Shows the version, the maker and the credits"},
        {MyButton1, "Help", "Opens the help page"},
        {cmdMinimize, "Minimize", "Minimizes the window"},
        {cmdClose, "Close", "Closes Quenlet"},
        {cmdAddVideoFile, "Load Video File", "Chooses the video to cut"},
        {picVideoWindow, "Preview",
         "The loaded video. Double-click it or press F for a closer look; drop a video here to "
         "load it"},
        {Slider, "Position", "Where the preview is in the video, in whole seconds"},
        {lblTime, "Time", "The position and the length of the video"},
        // Play/Pause and Start/Stop: the caption, which changes, is the name.
        {cmdPlay, nullptr, "Plays or pauses the preview"},
        {cmdStop, "Stop", "Stops the preview and goes back to the start"},
        {cmdStartSelect, "Start Selection", "Marks the position as the start of the cut"},
        {cmdEndSelect, "End Selection", "Marks the position as the end of the cut"},
        {cmdDeleteSelect, "Reset Selection", "Clears both marks"},
        {lblStartSelect, "Start of the cut", "The start mark"},
        {lblEndSelect, "End of the cut", "The end mark"},
        {lblFormat, "Output format", "The format the cut is written in"},
        {cmdChangeFormat, "Change output format", "Opens the output format panel"},
        {optSameFolder, "Same folder as input file", "Writes the cut next to the video"},
        {optOtherFolder, "Other folder", "Writes the cut into the folder below"},
        {txtOutPath, "Output folder", "The folder the cut is written to"},
        {cmdBrowse, "Browse for the output folder", "Chooses the folder the cut is written to"},
        {cmdConvert, nullptr, "Starts the cut, or stops it while it runs"},
        {chkShutdown, "Shutdown after task complete",
         "Powers the computer off when the cut has completed"},
        {lblProgress, "Task Progress", "How the cut goes"},
        {progress, "Task progress", "The share of the cut done"},
    };
    for (const Description& entry : descriptions) {
        if (entry.name != nullptr) {
            entry.control->setAccessibleName(QString::fromUtf8(entry.name));
        }
        entry.control->setAccessibleDescription(QString::fromUtf8(entry.description));
    }
}

void MainPanel::mousePressEvent(QMouseEvent* event) {
    event->accept();
    Q_EMIT PanelPressed();
}
