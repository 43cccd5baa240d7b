// The remembered settings on a format panel and plain widgets, without the main window: lists
// too short for their defaults, and controls that are missing.
#include "formats/FormatPanel.h"
#include "settings/CRegister.h"
#include "settings/RememberedSettings.h"
#include "tests/settings/StoreTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString Stored(const QString& name) {
    return CRegister().REGGetSetting(HKEY_LOCAL_MACHINE, RememberedSettings::SettingsKey, name,
                                     QStringLiteral("<absent>"));
}

// A preset catalog of one category with one label in one container.
bool WriteTinyCatalog(const QString& folder) {
    const QByteArray text = "<?xml version=\"1.0\"?>\r\n<presets>\r\n<preset>\r\n"
                            "<label>Only Label</label>\r\n<params>-c copy</params>\r\n"
                            "<extension>mkv</extension>\r\n<category>Only</category>\r\n"
                            "</preset>\r\n</presets>\r\n";
    return StoreTestSupport::WriteBytes(folder + QStringLiteral("/presets.xml"), text);
}

} // namespace

class tst_RememberedSettingsSteps : public QObject {
    Q_OBJECT

private slots:
    // Defaults that point past the end of a list leave it at the entry it has; empty codec
    // lists stay empty and store nothing, so a choice stored earlier would survive.
    void shortListsKeepTheirEntry() {
        StoreTestSupport::StoreFolderScope store;
        QTemporaryDir catalogs;
        QVERIFY(WriteTinyCatalog(catalogs.path()));
        TestSupport::ApplicationFolderOverride folder(catalogs.path());
        TestSupport::MessageRecorder messages;

        QWidget host;
        QLabel lblFormat;
        FormatPanel panel(&lblFormat, &host);
        auto* optSameFolder = new QRadioButton(&host);
        auto* optOtherFolder = new QRadioButton(&host);
        auto* txtOutPath = new QLineEdit(&host);
        auto* cmdBrowse = new QPushButton(&host);
        RememberedSettings settings(&panel, optSameFolder, optOtherFolder, txtOutPath, cmdBrowse);
        panel.LoadPresets();
        settings.LoadSettings();
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(panel.cmbCategory->currentText(), QStringLiteral("Only"));
        QCOMPARE(panel.cmbOutVCodec->currentText(), QStringLiteral("Only Label"));
        QCOMPARE(panel.cmbOutFormat->currentText(), QStringLiteral("mkv"));
        QCOMPARE(panel.cmbCVCodec->currentIndex(), -1);
        QCOMPARE(lblFormat.text(),
                 QStringLiteral("Category:Only, Codec:\"Only Label\", Container:\"mkv\""));
        QVERIFY(optOtherFolder->isChecked());
        QCOMPARE(txtOutPath->text(), RememberedSettings::DefaultOutPath());

        settings.SaveSettings();
        QCOMPARE(Stored(QStringLiteral("cmbCategory")), QStringLiteral("0"));
        QCOMPARE(Stored(QStringLiteral("cmbCVCodec")), QStringLiteral("<absent>"));
        QCOMPARE(Stored(QStringLiteral("cmbCustContainer")), QStringLiteral("2"));
    }

    // Without the output folder controls the format settings still go and come back.
    void missingControlsAreSkipped() {
        StoreTestSupport::StoreFolderScope store;
        QLabel lblFormat;
        FormatPanel panel(&lblFormat);
        RememberedSettings settings(&panel, nullptr, nullptr, nullptr, nullptr);
        panel.txtChannels->setText(QStringLiteral("6"));
        settings.SaveSettings();
        QCOMPARE(Stored(QStringLiteral("optOtherFolder")), QStringLiteral("<absent>"));
        QCOMPARE(Stored(QStringLiteral("txtChannels")), QStringLiteral("6"));
        panel.txtChannels->clear();
        settings.LoadSettings();
        QCOMPARE(panel.txtChannels->text(), QStringLiteral("6"));

        RememberedSettings nothing(nullptr, nullptr, nullptr, nullptr, nullptr);
        nothing.SaveSettings();
        nothing.LoadSettings();
        nothing.cmdDefaults_Click();
        QCOMPARE(Stored(QStringLiteral("txtChannels")), QStringLiteral("<absent>"));
    }
};

QTEST_MAIN(tst_RememberedSettingsSteps)
#include "tst_RememberedSettingsSteps.moc"
