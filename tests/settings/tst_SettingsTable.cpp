// The table of remembered settings: saving, loading and Restore Defaults go through the same
// seventeen settings in the same order, and every one of them comes back after a restart.
#include "formats/FormatPanel.h"
#include "formats/ListSelection.h"
#include "settings/RememberedSettings.h"
#include "tests/settings/StoreTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

namespace {

using Setting = RememberedSettings::Setting;

// The stored names in the order existing settings files hold them.
const QStringList kStoredOrder{
    "optOtherFolder", "optSameFolder", "txtOutPath",       "optFormat",   "cmbCategory",
    "cmbOutVCodec",   "cmbOutFormat",  "cmbCustContainer", "cmbCACodec",  "cmbCASmapleRate",
    "cmbCVCodec",     "cmbCVSize",     "cmbCVAspect",      "txtCABirate", "txtChannels",
    "txtCVBitrate",   "txtFrameRate"};

// Remembers which values the settings read and write, in order, and passes them on.
class RecordingSettings : public RememberedSettings {
public:
    using RememberedSettings::RememberedSettings;
    mutable QStringList read;
    mutable QStringList written;

protected:
    QString Get(const QString& name, const QString& sDefault) const override {
        read << name;
        return RememberedSettings::Get(name, sDefault);
    }
    void Save(const QString& name, const QString& value) const override {
        written << name;
        RememberedSettings::Save(name, value);
    }
};

// The controls the settings work on, with the shipped catalogs loaded.
struct Controls {
    QLabel lblFormat; // outlives the panel, which writes it
    QWidget host;
    FormatPanel* panel = new FormatPanel(&lblFormat, &host);
    QRadioButton* optSameFolder = new QRadioButton(&host);
    QRadioButton* optOtherFolder = new QRadioButton(&host);
    QLineEdit* txtOutPath = new QLineEdit(&host);
    QPushButton* cmdBrowse = new QPushButton(&host);
    RecordingSettings settings{panel, optSameFolder, optOtherFolder, txtOutPath, cmdBrowse};

    Controls() {
        panel->LoadPresets();
        panel->LoadCodecs();
    }
};

// What a setting's control holds, in the stored form.
QString Shown(const Setting& setting) {
    switch (setting.kind) {
    case Setting::Kind::Option:
        return static_cast<QRadioButton*>(setting.control)->isChecked() ? "True" : "False";
    case Setting::Kind::FormatMode:
        return static_cast<QRadioButton*>(setting.control)->isChecked() ? "0" : "1";
    case Setting::Kind::List:
        return QString::number(static_cast<QComboBox*>(setting.control)->currentIndex());
    case Setting::Kind::Text:
        return static_cast<QLineEdit*>(setting.control)->text();
    }
    return {};
}

} // namespace

class tst_SettingsTable : public QObject {
    Q_OBJECT

    std::unique_ptr<StoreTestSupport::StoreFolderScope> store;
    std::unique_ptr<TestSupport::ApplicationFolderOverride> folder;

private slots:
    void init() {
        store = std::make_unique<StoreTestSupport::StoreFolderScope>();
        folder =
            std::make_unique<TestSupport::ApplicationFolderOverride>(TestSupport::BuildFolder());
    }
    void cleanup() {
        folder.reset();
        store.reset();
    }

    // One table, one order: what is written is what is read back, name by name, and Restore
    // Defaults reads the same way; each name once.
    void saveAndLoadFollowTheTable() {
        TestSupport::MessageRecorder messages;
        Controls c;
        QStringList names;
        for (const Setting& setting : c.settings.Settings()) {
            QVERIFY2(setting.control != nullptr, qPrintable(setting.name));
            names << setting.name;
        }
        QCOMPARE(names, kStoredOrder);

        c.settings.SaveSettings();
        QCOMPARE(c.settings.written, kStoredOrder);
        c.settings.LoadSettings();
        QCOMPARE(c.settings.read, kStoredOrder);
        c.settings.read.clear();
        c.settings.written.clear();
        c.settings.cmdDefaults_Click();
        QCOMPARE(c.settings.read, kStoredOrder);
        QVERIFY(c.settings.written.isEmpty());
        QVERIFY(messages.messages.isEmpty());

        // Without a format panel only the output folder's three settings are left.
        RecordingSettings folderOnly(nullptr, c.optSameFolder, c.optOtherFolder, c.txtOutPath,
                                     c.cmdBrowse);
        folderOnly.SaveSettings();
        folderOnly.LoadSettings();
        QCOMPARE(folderOnly.written, kStoredOrder.mid(0, 3));
        QCOMPARE(folderOnly.read, kStoredOrder.mid(0, 3));
    }

    // Every setting set away from its default is shown again by the next start, and a first
    // start shows each default.
    void everySettingSurvivesARestart() {
        TestSupport::MessageRecorder messages;
        QStringList defaults;
        {
            Controls first;
            first.settings.LoadSettings();
            for (const Setting& setting : first.settings.Settings()) {
                defaults << Shown(setting);
                if (setting.kind != Setting::Kind::List) {
                    QCOMPARE(Shown(setting), setting.sDefault);
                }
            }
        }

        const QMap<QString, QString> texts{{"txtOutPath", "/tmp/Quenlet cuts"},
                                           {"txtCABirate", "96"},
                                           {"txtChannels", "1"},
                                           {"txtCVBitrate", "1500"},
                                           {"txtFrameRate", "29.97"}};
        QStringList chosen;
        {
            Controls before;
            before.settings.LoadSettings();
            before.optSameFolder->setChecked(true);
            before.panel->optFormat[1]->setChecked(true);
            // Lists from the top down, as the user would: the first entry, or the second where
            // the first is the default.
            const std::vector<Setting> settings = before.settings.Settings();
            for (std::size_t i = 0; i < settings.size(); ++i) {
                const Setting& setting = settings[i];
                if (setting.kind == Setting::Kind::List) {
                    auto* list = static_cast<QComboBox*>(setting.control);
                    const int index = defaults[qsizetype(i)] == QStringLiteral("0") ? 1 : 0;
                    QVERIFY2(index < list->count(), qPrintable(setting.name));
                    SelectListEntry(list, index, setting.handler);
                } else if (setting.kind == Setting::Kind::Text) {
                    static_cast<QLineEdit*>(setting.control)->setText(texts[setting.name]);
                }
            }
            for (const Setting& setting : before.settings.Settings()) {
                chosen << Shown(setting);
            }
            before.settings.SaveSettings();
        }
        for (qsizetype i = 0; i < chosen.size(); ++i) {
            QVERIFY2(chosen[i] != defaults[i], qPrintable(kStoredOrder[i]));
        }

        Controls after;
        after.settings.LoadSettings();
        QStringList shown;
        for (const Setting& setting : after.settings.Settings()) {
            shown << Shown(setting);
        }
        QCOMPARE(shown, chosen);
        QVERIFY(!after.txtOutPath->isEnabled());
        QVERIFY(!after.cmdBrowse->isEnabled());
        QVERIFY(messages.messages.isEmpty());
    }
};

QTEST_MAIN(tst_SettingsTable)
#include "tst_SettingsTable.moc"
