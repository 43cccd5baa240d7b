#include "formats/PresetCatalog.h"

#include "CatalogFiles.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList Record(const QString& label, const QString& params, const QString& extension,
                   const QString& category) {
    return {QStringLiteral("<preset>"),
            QStringLiteral("<label>%1</label>").arg(label),
            QStringLiteral("  <params>%1</params>").arg(params),
            QStringLiteral("<extension>%1</extension>").arg(extension),
            QStringLiteral("<category>%1</category>").arg(category),
            QStringLiteral("</preset>")};
}

QStringList Catalog(const QList<QStringList>& records) {
    QStringList lines{QStringLiteral("<?xml version=\"1.0\"?>"), QStringLiteral("<presets>")};
    for (const QStringList& record : records) {
        lines += record;
    }
    lines += {QStringLiteral("</presets>"), QString()};
    return lines;
}

QStringList Items(const QComboBox& list) {
    QStringList items;
    for (int i = 0; i < list.count(); ++i) {
        items.append(list.itemText(i));
    }
    return items;
}

const QString messageStart = QStringLiteral("Error Occured while Loading Presets.\r\n");

} // namespace

class tst_PresetCatalog : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;

    // Loads `bytes` as presets.xml into a fresh catalog and list; records the messages and the
    // texts the category handler was called with.
    struct Load {
        PresetCatalog catalog;
        QComboBox list;
        QStringList handled;
        TestSupport::MessageRecorder messages;
        int signalsSeen = 0;
    };
    void load(Load& run, const QByteArray& bytes) {
        QVERIFY(CatalogFiles::Write(folder_.path(), QStringLiteral("presets.xml"), bytes));
        const TestSupport::ApplicationFolderOverride override(folder_.path());
        QSignalSpy changed(&run.list, &QComboBox::currentIndexChanged);
        QSignalSpy activated(&run.list, &QComboBox::activated);
        run.catalog.LoadPresets(&run.list,
                                [&run](const QString& text) { run.handled.append(text); });
        run.signalsSeen = static_cast<int>(changed.count() + activated.count());
    }

private slots:
    void initTestCase() { QVERIFY(folder_.isValid()); }

    void readsRecordsAndListsEachCategoryOnceInOrderOfFirstAppearance() {
        Load run;
        load(run, CatalogFiles::Lines(Catalog({
                      Record("MP4 720p", "-vf scale=-2:720 -c:v libx264", "mp4", "Web"),
                      Record("MP3", "-vn -c:a libmp3lame", "mp3", "Audio"),
                      Record("MP4 720p", "-vf scale=-2:720 -c:v libx264", "mkv", "Web"),
                      Record("Same", "-a", "x", "web"),
                      Record("Same", "-a", "x", "web"),
                      Record("FLAC", "-vn -c:a flac", "flac", "Audio"),
                  })));
        QVERIFY(run.messages.messages.isEmpty());
        QCOMPARE(run.catalog.PresetCount(), 6);
        QCOMPARE(run.catalog.Presets().size(), 6);
        const PresetRecord& first = run.catalog.Presets().at(0);
        QCOMPARE(first.label, QStringLiteral("MP4 720p"));
        QCOMPARE(first.params, QStringLiteral("-vf scale=-2:720 -c:v libx264"));
        QCOMPARE(first.extension, QStringLiteral("mp4"));
        QCOMPARE(first.category, QStringLiteral("Web"));
        QCOMPARE(run.catalog.Presets().at(4).category, QStringLiteral("web"));
        QCOMPARE(Items(run.list), (QStringList{"Web", "Audio", "web"}));
        // The first entry is selected without a signal and the handler runs exactly once.
        QCOMPARE(run.list.currentIndex(), 0);
        QCOMPARE(run.signalsSeen, 0);
        QCOMPARE(run.handled, QStringList{"Web"});
    }

    // A catalog that opens no record (blanks, blank lines, the fixed lines only) says so and
    // leaves the list as it was.
    void catalogsWithoutARecordSayTheyHoldNone() {
        const QByteArray texts[] = {"     ", "\r\n\r\n\r\n", "\r\n",
                                    CatalogFiles::Lines(Catalog({}))};
        for (const QByteArray& bytes : texts) {
            Load run;
            run.list.addItem(QStringLiteral("kept"));
            load(run, bytes);
            QCOMPARE(run.messages.texts(),
                     QStringList{messageStart + QStringLiteral("The file %1/presets.xml holds no "
                                                               "preset.")
                                                    .arg(folder_.path())});
            QCOMPARE(run.messages.messages.first().icon, Platform::MessageIcon::None);
            QCOMPARE(run.catalog.PresetCount(), 0);
            QVERIFY(run.catalog.Presets().isEmpty());
            QCOMPARE(Items(run.list), QStringList{"kept"});
            QVERIFY(run.handled.isEmpty());
        }
        // Blank lines that end in LF only are one line that opens a record: a fault of its own.
        Load lf;
        load(lf, "\n\n\n\n");
        QCOMPARE(lf.messages.messages.size(), 1);
        QVERIFY(lf.messages.texts().first().startsWith(messageStart + QStringLiteral("Line 1: ")));
    }

    void failuresShowTheMessageAndKeepWhatWasRead_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("slotsLeft");
        const QStringList good = Record("A", "-a", "mp4", "One");
        QTest::newRow("empty file") << QByteArray() << "is empty" << 0;
        QTest::newRow("no >") << CatalogFiles::Lines(
                                     Catalog({good, {"<preset>", "<label", "x", "y", "z", "."}}))
                              << "Line 10: a field line has no '>'" << 2;
        QTest::newRow("> before <")
            << CatalogFiles::Lines(Catalog({{"<preset>", "<label>A</label>", "x>y<", "", "", ""}}))
            << "Line 5: the first '>' of a field line stands before its first '<'" << 1;
        QTest::newRow("closing tag missing")
            << CatalogFiles::Lines(
                   Catalog({good, {"<preset>", "<label>A</label>", "<params>-x</param>"}}))
            << "Line 11: the field line <params> has no closing tag </params>" << 2;
        QTest::newRow("field lines past the end")
            << CatalogFiles::Lines({"<preset>", "<label>A</label>", "<params>x</params>"})
            << "Line 1: the record that starts here ends before its 4 field lines" << 1;
        QTest::newRow("closing line past the end") << CatalogFiles::Lines(good.mid(0, 5))
                                                   << "Line 1: the record that starts here has "
                                                      "no closing line"
                                                   << 1;
    }
    void failuresShowTheMessageAndKeepWhatWasRead() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QFETCH(int, slotsLeft);
        Load run;
        load(run, bytes);
        QCOMPARE(run.messages.messages.size(), 1);
        const TestSupport::RecordedMessage message = run.messages.messages.first();
        QCOMPARE(message.icon, Platform::MessageIcon::None);
        QVERIFY2(message.text.startsWith(messageStart), qPrintable(message.text));
        QVERIFY2(message.text.contains(reason), qPrintable(message.text));
        // Records read so far stay; the count is not raised by the final step; no list.
        QCOMPARE(run.catalog.Presets().size(), slotsLeft);
        QCOMPARE(run.catalog.PresetCount(), qMax(0, slotsLeft - 1));
        // What the catalog offers is the counted records alone, never the unfinished slot.
        QCOMPARE(qsizetype(run.catalog.CountedPresets().size()), qMax(0, slotsLeft - 1));
        if (slotsLeft > 1) {
            QCOMPARE(&run.catalog.CountedPresets().back(),
                     &run.catalog.Presets().at(slotsLeft - 2));
        }
        QCOMPARE(run.list.count(), 0);
        QVERIFY(run.handled.isEmpty());
    }

    void missingOrUnreadableFileIsReported() {
        for (const bool folderInstead : {false, true}) {
            QTemporaryDir empty;
            if (folderInstead) {
                QVERIFY(QDir(empty.path()).mkdir(QStringLiteral("presets.xml")));
            }
            const TestSupport::ApplicationFolderOverride override(empty.path());
            TestSupport::MessageRecorder messages;
            PresetCatalog catalog;
            QComboBox list;
            bool handled = false;
            catalog.LoadPresets(&list, [&handled](const QString&) { handled = true; });
            QCOMPARE(messages.texts().size(), 1);
            QVERIFY(messages.texts().first().startsWith(
                messageStart + QStringLiteral("The file ") + empty.path() +
                QStringLiteral("/presets.xml could not be read: ")));
            QCOMPARE(list.count(), 0);
            QVERIFY(!handled);
        }
    }

    void recordWithoutCategorySharesTheNextSlot() {
        Load run;
        QStringList noCategory = Record("Lost", "-lost", "avi", "");
        noCategory[4] = QStringLiteral("<other>x</other>");
        QStringList labelOnly = {"<preset>", "<label>Kept</label>", "<a>", "<b>", "<c>", "</x>"};
        load(run,
             CatalogFiles::Lines(Catalog({noCategory, Record("B", "", "mkv", "Cat"), labelOnly})));
        QVERIFY(run.messages.messages.isEmpty());
        // The second record overwrote the first's fields but label, params and extension of a
        // record that gives no value keep the earlier ones; the last record is counted although
        // its category is empty.
        QCOMPARE(run.catalog.PresetCount(), 2);
        QCOMPARE(run.catalog.Presets().at(0).label, QStringLiteral("B"));
        QCOMPARE(run.catalog.Presets().at(0).params, QString());
        QCOMPARE(run.catalog.Presets().at(0).category, QStringLiteral("Cat"));
        QCOMPARE(run.catalog.Presets().at(1).label, QStringLiteral("Kept"));
        QCOMPARE(Items(run.list), (QStringList{"Cat", ""}));

        // Fields a record does not give keep the values of the slot it reuses.
        Load merged;
        QStringList partial = {"<preset>", "<params>-keep</params>", "<x>", "<y>", "<z>", "</x>"};
        load(merged, CatalogFiles::Lines(Catalog({partial, Record("L", "-new", "e", "C")})));
        QCOMPARE(merged.catalog.PresetCount(), 1);
        QCOMPARE(merged.catalog.Presets().at(0).params, QStringLiteral("-new"));
        Load kept;
        QStringList noParams = {
            "<preset>", "<label>L</label>", "<extension>e</extension>", "<category>C</category>",
            "<x>",      "</preset>"};
        load(kept, CatalogFiles::Lines(Catalog({partial, noParams})));
        QCOMPARE(kept.catalog.Presets().at(0).params, QStringLiteral("-keep"));
    }

    void lineLayoutQuirks() {
        Load run;
        const QStringList lines{
            "<?xml version=\"1.0\"?>",
            " <presets>", // indented: opens a record, its next four lines are its fields
            "<label>Indented</label>",
            "<category>I</category>",
            "<extension>i</extension>",
            "<params>-i</params>",
            "<presets>",         // the closing line of that record, not examined
            "<preset></preset>", // "</" anywhere: skipped
            "<PRESET>",
            "\t<label>  Caps  </LABEL> trailing </label>",
            "<params>-c &amp; -d</params>",
            "<category>first</category>",
            "<category>C</CATEGORY>", // a repeated field keeps the later value
            "not looked at",
            "<preset>",
            "text before <label>the tag</label>",
            "<extension>a\nb</extension>", // a lone LF does not end a line
            "<Label>not a field</Label>",
            "<category>D</category>",
            "</preset>",
            "</presets>",
        };
        load(run, CatalogFiles::Lines(lines));
        QVERIFY2(run.messages.messages.isEmpty(), qPrintable(run.messages.texts().join('|')));
        QCOMPARE(run.catalog.PresetCount(), 3);
        const QList<PresetRecord>& presets = run.catalog.Presets();
        QCOMPARE(presets[0].label, QStringLiteral("Indented"));
        QCOMPARE(presets[0].params, QStringLiteral("-i"));
        QCOMPARE(presets[1].label, QStringLiteral("  Caps  "));
        QCOMPARE(presets[1].params, QStringLiteral("-c &amp; -d"));
        QCOMPARE(presets[1].category, QStringLiteral("C"));
        QCOMPARE(presets[2].label, QStringLiteral("the tag"));
        QCOMPARE(presets[2].extension, QStringLiteral("a\nb"));
        QCOMPARE(Items(run.list), (QStringList{"I", "C", "D"}));
    }

    void textIsDecodedAsUtf8() {
        Load run;
        QByteArray bytes = CatalogFiles::Lines(Catalog({Record("Vidéo ½", "-x", "mp4", "Ünï")}));
        bytes.replace("-x", "-\xff\xfe");
        load(run, bytes);
        QVERIFY(run.messages.messages.isEmpty());
        QCOMPARE(run.catalog.Presets().at(0).label, QStringLiteral("Vidéo ½"));
        QCOMPARE(run.catalog.Presets().at(0).params, QStringLiteral("-\uFFFD\uFFFD"));
        QCOMPARE(Items(run.list), QStringList{QStringLiteral("Ünï")});

        // A UTF-8 byte-order mark is dropped: the declaration after it is still skipped.
        Load marked;
        load(marked, "\xef\xbb\xbf" + CatalogFiles::Lines(Catalog({Record("L", "-x", "e", "C")})));
        QVERIFY(marked.messages.messages.isEmpty());
        QCOMPARE(marked.catalog.PresetCount(), 1);
        QCOMPARE(marked.catalog.Presets().at(0).label, QStringLiteral("L"));
    }

    // Catalogs of any size load: no limit on the number of lines or on positions in a line.
    void largeCatalogsLoad() {
        QList<QStringList> records;
        for (int i = 0; i < 6000; ++i) {
            records.append(Record(QStringLiteral("L%1").arg(i), QStringLiteral("-p %1").arg(i),
                                  "mp4", QStringLiteral("C%1").arg(i % 700)));
        }
        const QString longParams(40000, QLatin1Char('x'));
        records.append(Record("Long", longParams, "mkv", "C0"));
        Load run;
        load(run, CatalogFiles::Lines(Catalog(records)));
        QVERIFY(run.messages.messages.isEmpty());
        QCOMPARE(run.catalog.PresetCount(), 6001);
        QCOMPARE(run.catalog.Presets().at(5999).params, QStringLiteral("-p 5999"));
        QCOMPARE(run.catalog.Presets().at(6000).params, longParams);
        QCOMPARE(run.list.count(), 700);
        QCOMPARE(run.list.itemText(699), QStringLiteral("C699"));
    }
};

QTEST_MAIN(tst_PresetCatalog)
#include "tst_PresetCatalog.moc"
