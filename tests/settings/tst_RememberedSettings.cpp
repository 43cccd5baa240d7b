// The remembered settings through the real main window, with the shipped catalogs of the build
// folder: first start, restoring stored values, "Restore Defaults", saving on close, and stores
// that cannot be written.
#include "app/MainPanel.h"
#include "app/frmMain.h"
#include "formats/FormatPanel.h"
#include "settings/CRegister.h"
#include "settings/RememberedSettings.h"
#include "tests/settings/StoreTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using StoreTestSupport::StoreFolderScope;

// One run of the program: messages are recorded from before the window exists.
struct Run {
    TestSupport::MessageRecorder messages;
    std::unique_ptr<frmMain> window = std::make_unique<frmMain>();
    FormatPanel& f = *window->frFormats;
    MainPanel& m = *window->frMain;
};

bool Store(const QString& name, const QString& value) {
    return CRegister().REGSaveSetting(HKEY_LOCAL_MACHINE, RememberedSettings::SettingsKey, name,
                                      value);
}

QString Stored(const QString& name) {
    return CRegister().REGGetSetting(HKEY_LOCAL_MACHINE, RememberedSettings::SettingsKey, name,
                                     QStringLiteral("<absent>"));
}

// The preset labels of a category, and the containers of a category's label, in catalog order.
QStringList Labels(const PresetCatalog& presets, const QString& category) {
    QStringList labels;
    for (const PresetRecord& r : presets.CountedPresets()) {
        if (r.category == category && !labels.contains(r.label)) {
            labels << r.label;
        }
    }
    return labels;
}
QStringList Containers(const PresetCatalog& presets, const QString& category,
                       const QString& label) {
    QStringList containers;
    for (const PresetRecord& r : presets.CountedPresets()) {
        if (r.category == category && r.label == label && !containers.contains(r.extension)) {
            containers << r.extension;
        }
    }
    return containers;
}

// The user picks entry `index` of a list with the keyboard (each step runs its handler).
void Choose(QComboBox* list, int index) {
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i) {
        QTest::keyClick(list, Qt::Key_Down);
    }
    QCOMPARE(list->currentIndex(), index);
}

// The user replaces a box's text by typing.
void Type(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
    QCOMPARE(box->text(), text);
}

const QStringList kValueOrder{
    "optOtherFolder", "optSameFolder", "txtOutPath",       "optFormat",   "cmbCategory",
    "cmbOutVCodec",   "cmbOutFormat",  "cmbCustContainer", "cmbCACodec",  "cmbCASmapleRate",
    "cmbCVCodec",     "cmbCVSize",     "cmbCVAspect",      "txtCABirate", "txtChannels",
    "txtCVBitrate",   "txtFrameRate"};

} // namespace

class tst_RememberedSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<StoreFolderScope> store;
    std::unique_ptr<TestSupport::ApplicationFolderOverride> folder;

    // What a first start without stored values shows, checked control by control.
    static void VerifyDefaults(const Run& run) {
        const FormatPanel& f = run.f;
        QVERIFY(f.optFormat[0]->isChecked());
        QVERIFY(!f.optFormat[1]->isChecked());
        QCOMPARE(f.frFormat->currentIndex(), 0);

        const QStringList categories = f.presets.Categories();
        QVERIFY(categories.size() >= 2);
        QCOMPARE(f.cmbCategory->currentIndex(), 1);
        const QStringList labels = Labels(f.presets, categories[1]);
        const QString label = labels.value(labels.size() > 1 ? 1 : 0);
        QCOMPARE(f.cmbOutVCodec->currentText(), label);
        const QStringList containers = Containers(f.presets, categories[1], label);
        const QString container = containers.value(containers.size() > 1 ? 1 : 0);
        QCOMPARE(f.cmbOutFormat->currentText(), container);

        QCOMPARE(f.cmbCustContainer->currentText(), QStringLiteral("AVI"));
        QCOMPARE(f.cmbCASmapleRate->currentText(), QStringLiteral("22.05 KHz"));
        QCOMPARE(f.cmbCVCodec->currentIndex(), 1);
        QCOMPARE(f.cmbCACodec->currentIndex(), 1);
        QCOMPARE(f.cmbCVSize->currentText(), QStringLiteral("[As Input]"));
        QCOMPARE(f.cmbCVAspect->currentText(), QStringLiteral("[As Input]"));
        QCOMPARE(f.txtCABirate->text(), QStringLiteral("64"));
        QCOMPARE(f.txtChannels->text(), QStringLiteral("2"));
        QCOMPARE(f.txtCVBitrate->text(), QStringLiteral("320"));
        QCOMPARE(f.txtFrameRate->text(), QStringLiteral("25"));

        QVERIFY(run.m.optOtherFolder->isChecked());
        QVERIFY(!run.m.optSameFolder->isChecked());
        QCOMPARE(run.m.txtOutPath->text(), QDir::homePath() + QStringLiteral("/Cut Files"));
        // (The main panel itself is disabled while the format panel is up.)
        QVERIFY(run.m.txtOutPath->isEnabledTo(&run.m));
        QVERIFY(run.m.cmdBrowse->isEnabledTo(&run.m));
        QCOMPARE(run.m.lblFormat->text(),
                 QStringLiteral("Category:") + categories[1] + QStringLiteral(", Codec:\"") +
                     label + QStringLiteral("\", Container:\"") + container + QStringLiteral("\""));
    }

private slots:
    void init() {
        store = std::make_unique<StoreFolderScope>();
        folder =
            std::make_unique<TestSupport::ApplicationFolderOverride>(TestSupport::BuildFolder());
    }
    void cleanup() {
        folder.reset();
        store.reset();
    }

    void firstStartShowsTheDefaults() {
        Run run;
        QVERIFY(run.messages.messages.isEmpty());
        VerifyDefaults(run);
        // Starting reads only.
        QVERIFY(!QFile::exists(store->file(QStringLiteral("HKEY_LOCAL_MACHINE.ini"))));
    }

    // The catalog shrank: the stored category is no entry any more and reads as the default
    // (the second); the label and container steps apply to it.
    void categoryBeyondTheCatalogReadsAsTheDefault() {
        QVERIFY(Store(QStringLiteral("cmbCategory"), QStringLiteral("99")));
        QVERIFY(Store(QStringLiteral("cmbOutVCodec"), QStringLiteral("2")));
        QVERIFY(Store(QStringLiteral("cmbOutFormat"), QStringLiteral("1")));
        Run run;
        const QString second = run.f.presets.Categories().value(1);
        QCOMPARE(run.f.cmbCategory->currentIndex(), 1);
        const QStringList labels = Labels(run.f.presets, second);
        QVERIFY(labels.size() >= 3);
        QCOMPARE(run.f.cmbOutVCodec->currentText(), labels[2]);
        QCOMPARE(run.f.cmbOutFormat->currentText(),
                 Containers(run.f.presets, second, labels[2])[1]);
        QVERIFY(run.m.lblFormat->text().startsWith(QStringLiteral("Category:") + second));
    }

    void formatMode_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("mode");
        QTest::newRow("custom") << "1" << 1;
        QTest::newRow("presets") << "0" << 0;
        QTest::newRow("no such mode") << "2" << 0;
        QTest::newRow("negative") << "-1" << 0;
        QTest::newRow("not a number") << "Custom" << 0;
        QTest::newRow("rounded to custom") << "1.4" << 1;
    }
    void formatMode() {
        QFETCH(QString, stored);
        QFETCH(int, mode);
        QVERIFY(Store(QStringLiteral("optFormat"), stored));
        Run run;
        QVERIFY(run.f.optFormat[mode]->isChecked());
        QVERIFY(!run.f.optFormat[1 - mode]->isChecked());
        QCOMPARE(run.f.frFormat->currentIndex(), mode);
        QCOMPARE(run.m.lblFormat->text().startsWith(QStringLiteral("Container:")), mode == 1);
    }

    void sameFolderStartsWithBoxAndBrowseUnavailable() {
        QVERIFY(Store(QStringLiteral("optOtherFolder"), QStringLiteral("False")));
        QVERIFY(Store(QStringLiteral("optSameFolder"), QStringLiteral("True")));
        QVERIFY(Store(QStringLiteral("txtOutPath"), QStringLiteral("/srv/cuts")));
        Run run;
        QVERIFY(run.m.optSameFolder->isChecked());
        QVERIFY(!run.m.optOtherFolder->isChecked());
        QCOMPARE(run.m.txtOutPath->text(), QStringLiteral("/srv/cuts"));
        QVERIFY(!run.m.txtOutPath->isEnabled());
        QVERIFY(!run.m.cmdBrowse->isEnabled());
    }

    // Every one of the seventeen values, none at its default, survives closing and starting
    // again; they are stored in their stored forms and in their fixed order.
    void everyValueSurvivesARestart() {
        const QString path = QStringLiteral("/tmp/Quenlet cuts/été");
        QString category, label, container;
        QStringList texts;
        {
            Run run;
            run.window->show();
            QTest::mouseClick(run.m.optSameFolder, Qt::LeftButton);
            run.m.txtOutPath->setText(path); // pasted
            QTest::mouseClick(run.f.optFormat[1], Qt::LeftButton);
            Choose(run.f.cmbCategory, 3);
            Choose(run.f.cmbOutVCodec, 0);
            Choose(run.f.cmbOutFormat, 2);
            Choose(run.f.cmbCustContainer, 7);
            Choose(run.f.cmbCACodec, 3);
            Choose(run.f.cmbCASmapleRate, 8);
            Choose(run.f.cmbCVCodec, 4);
            Choose(run.f.cmbCVSize, 9);
            Choose(run.f.cmbCVAspect, 2);
            Type(run.f.txtCABirate, QStringLiteral("96"));
            Type(run.f.txtChannels, QStringLiteral("1"));
            Type(run.f.txtCVBitrate, QStringLiteral("1500"));
            Type(run.f.txtFrameRate, QStringLiteral("29.97"));
            category = run.f.cmbCategory->currentText();
            label = run.f.cmbOutVCodec->currentText();
            container = run.f.cmbOutFormat->currentText();
            for (QComboBox* list : {run.f.cmbCustContainer, run.f.cmbCACodec, run.f.cmbCASmapleRate,
                                    run.f.cmbCVCodec, run.f.cmbCVSize, run.f.cmbCVAspect}) {
                texts << list->currentText();
            }
            QVERIFY(run.window->close());
        }

        const QStringList stored{"False", "True", path, "1", "3",  "0", "2",    "7",    "3",
                                 "8",     "4",    "9",  "2", "96", "1", "1500", "29.97"};
        for (qsizetype i = 0; i < kValueOrder.size(); ++i) {
            QCOMPARE(Stored(kValueOrder[i]), stored[i]);
        }
        // The values lie in the store's file in the order they were written.
        const QString file = QString::fromUtf8(
            StoreTestSupport::ReadBytes(store->file(QStringLiteral("HKEY_LOCAL_MACHINE.ini"))));
        QStringList order;
        const QRegularExpression valueLine(QStringLiteral("^\"(\\w+)\"="),
                                           QRegularExpression::MultilineOption);
        for (auto it = valueLine.globalMatch(file); it.hasNext();) {
            order << it.next().captured(1);
        }
        QCOMPARE(order, kValueOrder);

        Run again;
        QVERIFY(again.messages.messages.isEmpty());
        QVERIFY(again.m.optSameFolder->isChecked());
        QVERIFY(!again.m.optOtherFolder->isChecked());
        QCOMPARE(again.m.txtOutPath->text(), path);
        QVERIFY(!again.m.cmdBrowse->isEnabled());
        QVERIFY(again.f.optFormat[1]->isChecked());
        QCOMPARE(again.f.frFormat->currentIndex(), 1);
        QCOMPARE(again.f.cmbCategory->currentText(), category);
        QCOMPARE(again.f.cmbOutVCodec->currentText(), label);
        QCOMPARE(again.f.cmbOutFormat->currentText(), container);
        QStringList textsAgain;
        for (QComboBox* list :
             {again.f.cmbCustContainer, again.f.cmbCACodec, again.f.cmbCASmapleRate,
              again.f.cmbCVCodec, again.f.cmbCVSize, again.f.cmbCVAspect}) {
            textsAgain << list->currentText();
        }
        QCOMPARE(textsAgain, texts);
        QCOMPARE(again.f.txtCABirate->text(), QStringLiteral("96"));
        QCOMPARE(again.f.txtChannels->text(), QStringLiteral("1"));
        QCOMPARE(again.f.txtCVBitrate->text(), QStringLiteral("1500"));
        QCOMPARE(again.f.txtFrameRate->text(), QStringLiteral("29.97"));
        QCOMPARE(again.m.lblFormat->text(), again.f.FormatDescription());
        QVERIFY(again.m.lblFormat->text().startsWith(QStringLiteral("Container:MP4")));
    }

    // An emptied box is stored empty and comes back with its default.
    void emptyTextCountsAsAbsent() {
        {
            Run run;
            run.m.txtOutPath->clear();
            run.f.txtCVBitrate->clear();
            run.window->close();
        }
        QCOMPARE(Stored(QStringLiteral("txtCVBitrate")), QStringLiteral("<absent>"));
        Run again;
        QCOMPARE(again.m.txtOutPath->text(), RememberedSettings::DefaultOutPath());
        QCOMPARE(again.f.txtCVBitrate->text(), QStringLiteral("320"));
    }

    // Values that do not fit read as their defaults, each on its own; the others are restored.
    void badValuesReadAsTheirDefaults() {
        const std::pair<const char*, const char*> values[] = {
            {"optOtherFolder", "False"},  {"optSameFolder", "perhaps"}, {"cmbCategory", "three"},
            {"cmbOutVCodec", "3"},        {"cmbCustContainer", "-2"},   {"cmbCACodec", "4"},
            {"cmbCASmapleRate", "1e999"}, {"cmbCVCodec", "2"},          {"cmbCVSize", "29"},
            {"cmbCVAspect", " 2 "},       {"txtFrameRate", "30"},       {"optFormat", "x"},
            {"txtChannels", "0"},         {"txtCABirate", "-64"},       {"txtCVBitrate", "12345"}};
        for (const auto& [name, value] : values) {
            QVERIFY(Store(QLatin1String(name), QLatin1String(value)));
        }
        Run run;
        QVERIFY(run.messages.messages.isEmpty());
        // The selected option cannot be unselected on its own: it stays.
        QVERIFY(run.m.optOtherFolder->isChecked());
        QVERIFY(!run.m.optSameFolder->isChecked());
        // The category reads as its default; the label step applies to it.
        QCOMPARE(run.f.cmbCategory->currentIndex(), 1);
        QCOMPARE(run.f.cmbOutVCodec->currentIndex(), 3);
        QCOMPARE(run.f.cmbCustContainer->currentText(), QStringLiteral("AVI"));
        QCOMPARE(run.f.cmbCASmapleRate->currentText(), QStringLiteral("22.05 KHz"));
        QCOMPARE(run.f.cmbCVSize->currentIndex(), 0);
        QCOMPARE(run.f.cmbCACodec->currentIndex(), 4);
        QCOMPARE(run.f.cmbCVCodec->currentIndex(), 2);
        QCOMPARE(run.f.cmbCVAspect->currentIndex(), 2);
        QCOMPARE(run.f.txtFrameRate->text(), QStringLiteral("30"));
        QCOMPARE(run.f.txtChannels->text(), QStringLiteral("2"));
        QCOMPARE(run.f.txtCABirate->text(), QStringLiteral("64"));
        QCOMPARE(run.f.txtCVBitrate->text(), QStringLiteral("320"));
        QVERIFY(run.f.optFormat[0]->isChecked());
    }

    // A stored -1 (what an empty list once saved) reads as the default, so the format is
    // never shown empty.
    void minusOneReadsAsTheDefault() {
        QVERIFY(Store(QStringLiteral("cmbCategory"), QStringLiteral("-1")));
        QVERIFY(Store(QStringLiteral("cmbOutVCodec"), QStringLiteral("-1")));
        QVERIFY(Store(QStringLiteral("cmbOutFormat"), QStringLiteral("-1")));
        QVERIFY(Store(QStringLiteral("cmbCVSize"), QStringLiteral("-1")));
        Run run;
        VerifyDefaults(run);
    }

    // Starting without the catalogs and closing normally keeps the stored format choice; once
    // the catalogs are back, the next start shows it again.
    void startWithoutCatalogsKeepsTheStoredChoice() {
        QTemporaryDir bare; // a program folder without catalogs
        QVERIFY(bare.isValid());
        const std::pair<const char*, const char*> choice[] = {{"cmbCategory", "3"},
                                                              {"cmbOutVCodec", "1"},
                                                              {"cmbOutFormat", "0"},
                                                              {"cmbCACodec", "3"},
                                                              {"cmbCVCodec", "4"}};
        for (const auto& [name, value] : choice) {
            QVERIFY(Store(QLatin1String(name), QLatin1String(value)));
        }
        folder.reset(); // before the next override: its end restores the default
        folder = std::make_unique<TestSupport::ApplicationFolderOverride>(bare.path());
        {
            Run run;
            QCOMPARE(run.messages.messages.size(), 2); // one for each catalog
            QCOMPARE(run.f.cmbCategory->count(), 0);
            QCOMPARE(run.f.cmbCVCodec->count(), 0);
            QVERIFY(run.window->close());
        }
        for (const auto& [name, value] : choice) {
            QCOMPARE(Stored(QLatin1String(name)), QLatin1String(value));
        }

        folder.reset(); // before the next override: its end restores the default
        folder =
            std::make_unique<TestSupport::ApplicationFolderOverride>(TestSupport::BuildFolder());
        Run again;
        QVERIFY2(again.messages.messages.isEmpty(), qPrintable(again.messages.texts().join(u'|')));
        const QStringList categories = again.f.presets.Categories();
        QCOMPARE(again.f.cmbCategory->currentText(), categories[3]);
        QCOMPARE(again.f.cmbOutVCodec->currentText(), Labels(again.f.presets, categories[3])[1]);
        QCOMPARE(again.f.cmbCACodec->currentIndex(), 3);
        QCOMPARE(again.f.cmbCVCodec->currentIndex(), 4);
        QVERIFY(again.m.lblFormat->text().startsWith(QStringLiteral("Category:") + categories[3]));
    }

    // The first start ever without presets.xml stores no choice for the preset lists, so the
    // start after the file is back shows the defaults, not an empty format.
    void firstStartWithoutPresetsLeavesTheDefaults() {
        QTemporaryDir bare;
        QVERIFY(bare.isValid());
        QVERIFY(QFile::copy(TestSupport::BuildFolder() + QStringLiteral("/codecs.xml"),
                            bare.filePath(QStringLiteral("codecs.xml"))));
        folder.reset(); // before the next override: its end restores the default
        folder = std::make_unique<TestSupport::ApplicationFolderOverride>(bare.path());
        {
            Run run;
            QVERIFY2(run.messages.messages.size() == 1,
                     qPrintable(run.messages.texts().join(u'|')));
            QVERIFY(run.window->close());
        }
        for (const char* name : {"cmbCategory", "cmbOutVCodec", "cmbOutFormat"}) {
            QCOMPARE(Stored(QLatin1String(name)), QStringLiteral("<absent>"));
        }
        QCOMPARE(Stored(QStringLiteral("cmbCVCodec")), QStringLiteral("1"));
        folder.reset(); // before the next override: its end restores the default
        folder =
            std::make_unique<TestSupport::ApplicationFolderOverride>(TestSupport::BuildFolder());
        Run again;
        VerifyDefaults(again);
    }

    // "Restore Defaults" forgets the stored values at once and shows the defaults, the panel
    // staying open; closing then saves the defaults, and the next start shows them.
    void restoreDefaultsThenRestartShowsTheDefaults() {
        QVERIFY(Store(QStringLiteral("optFormat"), QStringLiteral("1")));
        QVERIFY(Store(QStringLiteral("cmbCategory"), QStringLiteral("3")));
        QVERIFY(Store(QStringLiteral("txtCABirate"), QStringLiteral("128")));
        QVERIFY(Store(QStringLiteral("txtOutPath"), QStringLiteral("/srv/cuts")));
        {
            Run run;
            run.window->show();
            QCOMPARE(run.f.txtCABirate->text(), QStringLiteral("128"));
            QTest::mouseClick(run.m.cmdChangeFormat, Qt::LeftButton);
            run.f.cmbCVSize->setCurrentIndex(5);
            QSignalSpy closing(&run.f, &FormatPanel::CloseRequested);
            QTest::mouseClick(run.f.cmdDefaults, Qt::LeftButton);
            QCOMPARE(Stored(QStringLiteral("txtCABirate")), QStringLiteral("<absent>"));
            QCOMPARE(Stored(QStringLiteral("optFormat")), QStringLiteral("<absent>"));
            VerifyDefaults(run);
            QVERIFY(closing.isEmpty());
            QVERIFY(!run.m.isEnabled()); // the format panel is still up
            QVERIFY(run.messages.messages.isEmpty());
            run.window->close();
        }
        QCOMPARE(Stored(QStringLiteral("txtCABirate")), QStringLiteral("64"));
        Run again;
        VerifyDefaults(again);
    }

    // A store folder that cannot be made (it would lie under a file): nothing is remembered,
    // nothing is shown, nothing breaks.
    void unwritableStoreRemembersNothing() {
        const QString blocker = store->file(QStringLiteral("a file"));
        QVERIFY(StoreTestSupport::WriteBytes(blocker, "not a folder"));
        qputenv("QUENLET_STORE_DIR", QFile::encodeName(blocker + QStringLiteral("/store")));
        {
            Run run;
            run.window->show();
            VerifyDefaults(run);
            Type(run.f.txtCABirate, QStringLiteral("200"));
            QTest::mouseClick(run.m.optSameFolder, Qt::LeftButton);
            QTest::mouseClick(run.f.cmdDefaults, Qt::LeftButton);
            QCOMPARE(run.f.txtCABirate->text(), QStringLiteral("64"));
            Type(run.f.txtCABirate, QStringLiteral("200"));
            QVERIFY(run.window->close());
            QVERIFY(run.messages.messages.isEmpty());
        }
        Run again;
        QVERIFY(again.messages.messages.isEmpty());
        VerifyDefaults(again);
    }

    // A store that may be read but not changed: "Restore Defaults" cannot forget the values, so
    // they are restored again, and it says so.
    void readOnlyStoreRestoresTheStoredValuesAgain() {
        QVERIFY(Store(QStringLiteral("txtCABirate"), QStringLiteral("128")));
        QVERIFY(Store(QStringLiteral("optFormat"), QStringLiteral("1")));
        const QString path = store->file(QStringLiteral("HKEY_LOCAL_MACHINE.ini"));
        StoreTestSupport::WriteProtection protection(path);
        if (!protection.active()) {
            QSKIP("The store file cannot be write-protected here");
        }
        Run run;
        Type(run.f.txtCABirate, QStringLiteral("5"));
        QTest::mouseClick(run.f.cmdDefaults, Qt::LeftButton);
        QCOMPARE(run.f.txtCABirate->text(), QStringLiteral("128"));
        QVERIFY(run.f.optFormat[1]->isChecked());
        QCOMPARE(run.f.txtCVBitrate->text(), QStringLiteral("320"));
        QCOMPARE(run.messages.texts(),
                 QStringList{QStringLiteral("The settings file cannot be changed:\r\n") + path +
                             QStringLiteral("\r\nThe stored settings stay as they are.")});
        QCOMPARE(run.messages.messages.first().icon, Platform::MessageIcon::Exclamation);
        run.window->close();
        QCOMPARE(run.messages.messages.size(), 1);
        QCOMPARE(Stored(QStringLiteral("txtCABirate")), QStringLiteral("128"));
    }

    // A settings file that cannot be read (a folder in its place, which stops the superuser as
    // well, or a file that is no store file): "Restore Defaults" shows the defaults and says
    // that the file cannot be changed and where it is; the file is left as it is.
    void restoreDefaultsWithAnUnreadableFileSaysWhereItIs() {
        const QString path = store->file(QStringLiteral("HKEY_LOCAL_MACHINE.ini"));
        for (int round = 0; round < 2; ++round) {
            QFile::remove(path);
            QDir(path).removeRecursively();
            const QByteArray foreign("not a settings store\n\"txtCABirate\"=\"128\"\n");
            if (round == 0) {
                QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
            } else {
                QVERIFY(StoreTestSupport::WriteBytes(path, foreign));
            }
            {
                Run run;
                run.window->show();
                QVERIFY(run.messages.messages.isEmpty());
                QTest::mouseClick(run.m.cmdChangeFormat, Qt::LeftButton);
                Type(run.f.txtCABirate, QStringLiteral("200"));
                QTest::mouseClick(run.f.cmdDefaults, Qt::LeftButton);
                VerifyDefaults(run);
                QCOMPARE(run.messages.texts(),
                         QStringList{QStringLiteral("The settings file cannot be changed because "
                                                    "it cannot be read:\r\n") +
                                     path +
                                     QStringLiteral("\r\nThe defaults are shown; the file is left "
                                                    "as it is.")});
                QCOMPARE(run.messages.messages.first().icon, Platform::MessageIcon::Exclamation);
                QVERIFY(run.window->close());
                QCOMPARE(run.messages.messages.size(), 1);
            }
            if (round == 0) {
                QVERIFY(QFileInfo(path + QStringLiteral("/inside")).isDir());
            } else {
                QCOMPARE(StoreTestSupport::ReadBytes(path), foreign);
            }
        }
        QDir(path).removeRecursively();
    }
};

QTEST_MAIN(tst_RememberedSettings)
#include "tst_RememberedSettings.moc"
