#include "formats/FormatPanel.h"

#include "engine/Platform.h"
#include "formats/BoxKeyFilter.h"
#include "formats/BoxValidator.h"
#include "formats/FormatDefaults.h"
#include "formats/ListSelection.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStackedWidget>
#include <QVBoxLayout>

const QStringList FormatPanel::ContainerList{
    QStringLiteral("WMV"), QStringLiteral("ASF"), QStringLiteral("AVI"),  QStringLiteral("MOV"),
    QStringLiteral("FLV"), QStringLiteral("MPG"), QStringLiteral("MPEG"), QStringLiteral("MP4"),
    QStringLiteral("RM"),  QStringLiteral("yuv")};

// Each entry is a frame size name the encoder knows, then its pixel size; four entries end with
// a blank that belongs to them.
const QStringList FormatPanel::SizeList{
    QStringLiteral("[As Input]"),         QStringLiteral("sqcif(128x96)"),
    QStringLiteral("qcif(176x144)"),      QStringLiteral("cif(352x288)"),
    QStringLiteral("4cif(704x576)"),      QStringLiteral("qqvga(160x120)"),
    QStringLiteral("qvga(320x240)"),      QStringLiteral("vga(640x480)"),
    QStringLiteral("svga(800x600)"),      QStringLiteral("xga(1024x768)"),
    QStringLiteral("uxga(1600x1200)"),    QStringLiteral("qxga(2048x1536)"),
    QStringLiteral("sxga(1280x1024)"),    QStringLiteral("qsxga(2560x2048) "),
    QStringLiteral("hsxga(5120x4096)"),   QStringLiteral("wvga(852x480)"),
    QStringLiteral("wxga(1366x768) "),    QStringLiteral("wsxga(1600x1024)"),
    QStringLiteral("wuxga(1920x1200)"),   QStringLiteral("woxga(2560x1600)"),
    QStringLiteral("wqsxga(3200x2048) "), QStringLiteral("wquxga(3840x2400)"),
    QStringLiteral("whsxga(6400x4096)"),  QStringLiteral("whuxga(7680x4800)"),
    QStringLiteral("cga(320x200)"),       QStringLiteral("ega(640x350)"),
    QStringLiteral("hd480(852x480)"),     QStringLiteral("hd720(1280x720) "),
    QStringLiteral("hd1080(1920x1080)")};

const QStringList FormatPanel::AspectList{QStringLiteral("[As Input]"), QStringLiteral("4:3"),
                                          QStringLiteral("16:9"), QStringLiteral("1.3333"),
                                          QStringLiteral("1.7777")};

const QStringList FormatPanel::SampleRateList{
    QStringLiteral("8 KHz"),  QStringLiteral("11.025 KHz"), QStringLiteral("12 KHz"),
    QStringLiteral("16 KHz"), QStringLiteral("22.05 KHz"),  QStringLiteral("24 KHz"),
    QStringLiteral("32 KHz"), QStringLiteral("44.1 KHz"),   QStringLiteral("48 KHz")};

namespace {

QComboBox* NewList(QWidget* parent, const QStringList& items = {}) {
    auto* list = new QComboBox(parent);
    list->setEditable(false);
    list->addItems(items);
    // Long codec descriptions are elided in the box and shown whole in the open list.
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(6);
    // The open list is wide enough for whole descriptions.
    list->view()->setMinimumWidth(260);
    QObject::connect(list, &QComboBox::currentTextChanged, list,
                     [list](const QString& text) { list->setToolTip(text); });
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return list;
}

QLineEdit* NewBox(QWidget* parent, const QString& text, BoxKeyFilter::Rule rule) {
    auto* box = new QLineEdit(text, parent);
    box->setFixedWidth(56);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    BoxKeyFilter::Install(box, rule);
    // Pasted or dropped text is held to the same form as typed keys.
    box->setValidator(new BoxValidator(rule, box));
    return box;
}

// A box with its unit to the right.
QWidget* WithUnit(QLineEdit* box, const QString& unit) {
    auto* row = new QWidget(box->parentWidget());
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    box->setParent(row);
    layout->addWidget(box);
    if (!unit.isEmpty()) {
        layout->addWidget(new QLabel(unit, row));
    }
    layout->addStretch();
    return row;
}

QGridLayout* NewGrid(QWidget* parent) {
    auto* grid = new QGridLayout(parent);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(1, 1);
    return grid;
}

void AddRow(QGridLayout* grid, const QString& caption, QWidget* field) {
    const int row = grid->rowCount();
    auto* label = new QLabel(caption, grid->parentWidget());
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
}

} // namespace

FormatPanel::FormatPanel(QLabel* lblFormat, QWidget* parent)
    : QFrame(parent), lblFormat_(lblFormat) {
    setObjectName(QStringLiteral("frFormats"));
    setAccessibleName(QStringLiteral("Output Video Formats"));
    // 8280 x 4350 twips.
    setFixedSize(552, 290);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 10);
    layout->setSpacing(6);

    // The caption and the two modes share the top line.
    auto* modes = new QHBoxLayout;
    modes->setSpacing(14);
    auto* caption = new QLabel(QStringLiteral("Output Video Formats"), this);
    caption->setObjectName(QStringLiteral("panelTitle"));
    modes->addWidget(caption);
    modes->addStretch();
    auto* group = new QButtonGroup(this);
    optFormat[0] = new QRadioButton(QStringLiteral("Presets"), this);
    optFormat[1] = new QRadioButton(QStringLiteral("Custom (Advanced)"), this);
    for (int i = 0; i < 2; ++i) {
        optFormat[i]->setObjectName(QStringLiteral("optFormat%1").arg(i));
        group->addButton(optFormat[i], i);
        modes->addWidget(optFormat[i]);
        connect(optFormat[i], &QRadioButton::clicked, this, [this, i] { optFormat_Click(i); });
    }
    layout->addLayout(modes);

    frFormat = new QStackedWidget(this);
    frFormat->addWidget(BuildPresetPage());
    frFormat->addWidget(BuildCustomPage());
    layout->addWidget(frFormat, 1);

    auto* buttons = new QHBoxLayout;
    cmdDefaults = new QPushButton(QStringLiteral("Restore Defaults"), this);
    cmdDefaults->setObjectName(QStringLiteral("cmdDefaults"));
    // "&&" shows as one ampersand.
    cmdHide = new QPushButton(QStringLiteral("Save && Close"), this);
    cmdHide->setObjectName(QStringLiteral("cmdHide"));
    cmdHide->setDefault(true);
    cmdHide->setMinimumWidth(112);
    buttons->addWidget(cmdDefaults);
    buttons->addStretch();
    buttons->addWidget(cmdHide);
    layout->addLayout(buttons);
    connect(cmdHide, &QPushButton::clicked, this, &FormatPanel::cmdHide_Click);

    optFormat[0]->setChecked(true);
    frFormat->setCurrentIndex(0);

    // What screen readers say of each control (the lists take their names from their
    // captions; the boxes sit in a row with their unit, so they are named here).
    struct Description {
        QWidget* control;
        const char* name;
        const char* description;
    };
    const Description descriptions[] = {
        {optFormat[0], nullptr, "Chooses a ready-made format"},
        {optFormat[1], nullptr, "Chooses the container and codecs yourself"},
        {cmbCategory, nullptr, "The kind of preset"},
        {cmbOutVCodec, nullptr, "The preset"},
        {cmbOutFormat, nullptr, "The container of the preset"},
        {cmbCustContainer, nullptr, "The container of the custom format"},
        {cmbCVCodec, nullptr, "The video codec of the custom format"},
        {txtCVBitrate, "Video bitrate", "Kilobits per second"},
        {cmbCVSize, nullptr, "The picture size of the custom format"},
        {cmbCVAspect, nullptr, "The aspect ratio of the custom format"},
        {txtFrameRate, "Frame rate", "Frames per second"},
        {cmbCACodec, nullptr, "The audio codec of the custom format"},
        {txtCABirate, "Audio bitrate", "Kilobits per second"},
        {cmbCASmapleRate, nullptr, "The sampling rate of the custom format"},
        {txtChannels, "Channels", "The number of sound channels, 1 to 9"},
        {cmdDefaults, nullptr, "Sets every choice back to the first-start format"},
        {cmdHide, nullptr, "Keeps the choice and closes the panel"},
    };
    for (const Description& entry : descriptions) {
        if (entry.name != nullptr) {
            entry.control->setAccessibleName(QString::fromUtf8(entry.name));
        }
        entry.control->setAccessibleDescription(QString::fromUtf8(entry.description));
    }
}

QWidget* FormatPanel::BuildPresetPage() {
    auto* page = new QWidget(this);
    auto* grid = NewGrid(page);
    grid->setVerticalSpacing(10);
    cmbCategory = NewList(page);
    cmbOutVCodec = NewList(page);
    cmbOutFormat = NewList(page);
    cmbCategory->setObjectName(QStringLiteral("cmbCategory"));
    cmbOutVCodec->setObjectName(QStringLiteral("cmbOutVCodec"));
    cmbOutFormat->setObjectName(QStringLiteral("cmbOutFormat"));
    AddRow(grid, QStringLiteral("Output Category:"), cmbCategory);
    AddRow(grid, QStringLiteral("Output Video Codec:"), cmbOutVCodec);
    AddRow(grid, QStringLiteral("Output File Format (Container):"), cmbOutFormat);
    grid->setRowStretch(grid->rowCount(), 1);

    connect(cmbCategory, &QComboBox::activated, this,
            [this](int index) { SetCategory(cmbCategory->itemText(index)); });
    connect(cmbOutVCodec, &QComboBox::activated, this,
            [this](int index) { SetVideoCodec(cmbOutVCodec->itemText(index)); });
    return page;
}

QWidget* FormatPanel::BuildCustomPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    auto* top = new QWidget(page);
    auto* topGrid = NewGrid(top);
    topGrid->setContentsMargins(8, 0, 8, 0);
    cmbCustContainer = NewList(top, ContainerList);
    cmbCustContainer->setObjectName(QStringLiteral("cmbCustContainer"));
    cmbCustContainer->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    cmbCustContainer->setMinimumContentsLength(6);
    AddRow(topGrid, QStringLiteral("Output Format(Container):"), cmbCustContainer);
    topGrid->setColumnStretch(1, 0);
    topGrid->setColumnStretch(2, 1);
    layout->addWidget(top);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(8);

    auto* audio = new QGroupBox(QStringLiteral("Output Audio Options"), page);
    auto* audioGrid = NewGrid(audio);
    cmbCACodec = NewList(audio);
    cmbCASmapleRate = NewList(audio, SampleRateList);
    txtCABirate = NewBox(audio, FormatDefaults::AudioBitrate, BoxKeyFilter::Bitrate);
    txtChannels = NewBox(audio, FormatDefaults::Channels, BoxKeyFilter::Channels);
    AddRow(audioGrid, QStringLiteral("Output Audio Codec:"), cmbCACodec);
    AddRow(audioGrid, QStringLiteral("Sampling Rate:"), cmbCASmapleRate);
    AddRow(audioGrid, QStringLiteral("Bitrate:"), WithUnit(txtCABirate, QStringLiteral("kbps")));
    AddRow(audioGrid, QStringLiteral("Channels:"), WithUnit(txtChannels, QString()));
    audioGrid->setRowStretch(audioGrid->rowCount(), 1);

    auto* video = new QGroupBox(QStringLiteral("Output Video Options"), page);
    auto* videoGrid = NewGrid(video);
    cmbCVCodec = NewList(video);
    txtCVBitrate = NewBox(video, FormatDefaults::VideoBitrate, BoxKeyFilter::Bitrate);
    cmbCVSize = NewList(video, SizeList);
    cmbCVAspect = NewList(video, AspectList);
    txtFrameRate = NewBox(video, FormatDefaults::FrameRate, BoxKeyFilter::FrameRate);
    AddRow(videoGrid, QStringLiteral("Output Video Codec:"), cmbCVCodec);
    AddRow(videoGrid, QStringLiteral("Bitrate:"), WithUnit(txtCVBitrate, QStringLiteral("kbps")));
    AddRow(videoGrid, QStringLiteral("Video Size:"), cmbCVSize);
    AddRow(videoGrid, QStringLiteral("Aspect Ratio:"), cmbCVAspect);
    AddRow(videoGrid, QStringLiteral("Frame rate:"), WithUnit(txtFrameRate, QStringLiteral("fps")));
    videoGrid->setRowStretch(videoGrid->rowCount(), 1);

    const std::pair<QWidget*, const char*> names[] = {
        {cmbCACodec, "cmbCACodec"},    {cmbCASmapleRate, "cmbCASmapleRate"},
        {txtCABirate, "txtCABirate"},  {txtChannels, "txtChannels"},
        {cmbCVCodec, "cmbCVCodec"},    {txtCVBitrate, "txtCVBitrate"},
        {cmbCVSize, "cmbCVSize"},      {cmbCVAspect, "cmbCVAspect"},
        {txtFrameRate, "txtFrameRate"}};
    for (const auto& [widget, name] : names) {
        widget->setObjectName(QLatin1String(name));
    }

    columns->addWidget(audio, 1);
    columns->addWidget(video, 1);
    layout->addLayout(columns, 1);
    return page;
}

void FormatPanel::LoadPresets() {
    presets.LoadPresets(cmbCategory, [this](const QString& sCat) { SetCategory(sCat); });
}

void FormatPanel::LoadCodecs() {
    codecs.LoadCodecs(cmbCVCodec, cmbCACodec);
}

void FormatPanel::SetCategory(const QString& sCat) {
    {
        const QSignalBlocker blocker(cmbOutVCodec);
        cmbOutVCodec->clear();
        QSet<QString> listed;
        for (const PresetRecord& record : presets.CountedPresets()) {
            if (record.category == sCat && !listed.contains(record.label)) {
                listed.insert(record.label);
                cmbOutVCodec->addItem(record.label);
            }
        }
    }
    SelectListEntry(cmbOutVCodec, cmbOutVCodec->count() > 0 ? 0 : -1,
                    [this](const QString& sCodec) { SetVideoCodec(sCodec); });
    SelectListEntry(cmbOutFormat, cmbOutFormat->count() > 0 ? 0 : -1);
}

void FormatPanel::SetVideoCodec(const QString& sCodec) {
    {
        const QSignalBlocker blocker(cmbOutFormat);
        cmbOutFormat->clear();
        const QString category = cmbCategory->currentText();
        QSet<QString> listed;
        for (const PresetRecord& record : presets.CountedPresets()) {
            if (record.category == category && record.label == sCodec &&
                !listed.contains(record.extension)) {
                listed.insert(record.extension);
                cmbOutFormat->addItem(record.extension);
            }
        }
    }
    SelectListEntry(cmbOutFormat, cmbOutFormat->count() > 0 ? 0 : -1);
}

void FormatPanel::optFormat_Click(int index) {
    frFormat->setCurrentIndex(index);
}

bool FormatPanel::PresetMode() const {
    return optFormat[0]->isChecked();
}

QString FormatPanel::Container() const {
    return Choice().Container();
}

FormatChoice FormatPanel::Choice() const {
    FormatChoice choice;
    choice.presetMode = PresetMode();
    choice.category = cmbCategory->currentText();
    choice.label = cmbOutVCodec->currentText();
    choice.extension = cmbOutFormat->currentText();
    choice.container = cmbCustContainer->currentText();
    choice.videoCodec = cmbCVCodec->currentText();
    choice.videoBitrate = txtCVBitrate->text();
    choice.size = cmbCVSize->currentText();
    choice.frameRate = txtFrameRate->text();
    choice.aspect = cmbCVAspect->currentText();
    choice.audioCodec = cmbCACodec->currentText();
    choice.audioBitrate = txtCABirate->text();
    choice.sampleRate = cmbCASmapleRate->currentText();
    choice.channels = txtChannels->text();
    return choice;
}

QString FormatPanel::FormatDescription() const {
    const QChar q(u'"');
    if (PresetMode()) {
        return QStringLiteral("Category:") + cmbCategory->currentText() +
               QStringLiteral(", Codec:") + q + cmbOutVCodec->currentText() + q +
               QStringLiteral(", Container:") + q + cmbOutFormat->currentText() + q;
    }
    return QStringLiteral("Container:") + cmbCustContainer->currentText() +
           QStringLiteral(", Video Codec:") + q + cmbCVCodec->currentText() + q +
           QStringLiteral(", Audio Codec:") + q + cmbCACodec->currentText() + q;
}

void FormatPanel::UpdateFormatLabel() {
    if (lblFormat_ != nullptr) {
        lblFormat_->setText(FormatDescription());
        lblFormat_->setToolTip(FormatDescription());
    }
}

void FormatPanel::cmdHide_Click() {
    const std::pair<QLineEdit*, const char*> checks[] = {
        {txtChannels, "Channels Field in the custom Format can not be empty."},
        {txtFrameRate, "Frame Rate Field in the custom Format can not be empty."},
        {txtCABirate, "Audio Bitrate Field in the custom Format can not be empty."},
        {txtCVBitrate, "Video Bitrate Field in the custom Format can not be empty."}};
    for (const auto& [box, message] : checks) {
        if (box->text().isEmpty()) {
            Platform::ShowMessage(QLatin1String(message), Platform::MessageIcon::Exclamation);
            return;
        }
    }
    Q_EMIT CloseRequested();
    UpdateFormatLabel();
}
