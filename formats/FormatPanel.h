#pragma once

#include "formats/CodecCatalog.h"
#include "formats/FormatChoice.h"
#include "formats/PresetCatalog.h"

#include <QFrame>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

// The panel "Output Video Formats", in which the user chooses a ready-made preset (category,
// preset name, container) or a custom format (container, codecs, size, aspect, frame rate, bit
// rates, sampling rate, channels). The choice leaves the panel as a value (Choice()); the
// remembered settings save and restore its controls.
class FormatPanel : public QFrame {
    Q_OBJECT

public:
    // `lblFormat` is the main window's format description, which UpdateFormatLabel writes.
    explicit FormatPanel(QLabel* lblFormat, QWidget* parent = nullptr);

    // Catalogs, read once at start-up.
    PresetCatalog presets;
    CodecCatalog codecs;
    void LoadPresets();
    void LoadCodecs();

    // Selection handlers of the preset chain.
    void SetCategory(const QString& sCat);
    void SetVideoCodec(const QString& sCodec);
    // Option handler: brings sub-panel N to the front.
    void optFormat_Click(int index);
    // Whether "Presets" is selected.
    bool PresetMode() const;
    // The output file's extension: the preset container or the custom container.
    QString Container() const;
    // What the controls hold now.
    FormatChoice Choice() const;

    void UpdateFormatLabel();
    QString FormatDescription() const;

    // "Save && Close": checks the custom boxes, then asks to be slid out and updates lblFormat.
    void cmdHide_Click();

    QRadioButton* optFormat[2] = {};
    QStackedWidget* frFormat = nullptr;

    QComboBox* cmbCategory = nullptr;
    QComboBox* cmbOutVCodec = nullptr;
    QComboBox* cmbOutFormat = nullptr;

    QComboBox* cmbCustContainer = nullptr;
    QComboBox* cmbCVCodec = nullptr;
    QLineEdit* txtCVBitrate = nullptr;
    QComboBox* cmbCVSize = nullptr;
    QLineEdit* txtFrameRate = nullptr;
    QComboBox* cmbCVAspect = nullptr;
    QComboBox* cmbCACodec = nullptr;
    QLineEdit* txtCABirate = nullptr;
    QComboBox* cmbCASmapleRate = nullptr;
    QLineEdit* txtChannels = nullptr;

    QPushButton* cmdHide = nullptr;
    QPushButton* cmdDefaults = nullptr;

    static const QStringList ContainerList;
    static const QStringList SizeList;
    static const QStringList AspectList;
    static const QStringList SampleRateList;

Q_SIGNALS:
    // The panel passed its checks and wants to slide out.
    void CloseRequested();

private:
    QWidget* BuildPresetPage();
    QWidget* BuildCustomPage();

    QLabel* lblFormat_;
};
