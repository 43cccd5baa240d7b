#include "formats/CodecCatalog.h"

#include "CatalogFiles.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList Codec(const QString& name, const QString& description, const QString& type) {
    return {QStringLiteral("<codec>"), QStringLiteral("  <name>%1</name>").arg(name),
            QStringLiteral("  <description>%1</description>").arg(description),
            QStringLiteral("  <type>%1</type>").arg(type), QStringLiteral("</codec>")};
}

QStringList Catalog(const QList<QStringList>& records) {
    QStringList lines{QStringLiteral("<?xml version=\"1.0\"?>"), QStringLiteral("<codecs>")};
    for (const QStringList& record : records) {
        lines += record;
    }
    lines += {QStringLiteral("</codecs>"), QString()};
    return lines;
}

QStringList Items(const QComboBox& list) {
    QStringList items;
    for (int i = 0; i < list.count(); ++i) {
        items.append(list.itemText(i));
    }
    return items;
}

const QString messageStart = QStringLiteral("Error Occured while Loading Codecs.\r\n");

} // namespace

class tst_CodecCatalog : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;

    struct Load {
        CodecCatalog catalog;
        QComboBox video;
        QComboBox audio;
        TestSupport::MessageRecorder messages;
        int signalsSeen = 0;
    };
    void load(Load& run, const QByteArray& bytes) {
        QVERIFY(CatalogFiles::Write(folder_.path(), QStringLiteral("codecs.xml"), bytes));
        const TestSupport::ApplicationFolderOverride override(folder_.path());
        QSignalSpy videoChanged(&run.video, &QComboBox::currentIndexChanged);
        QSignalSpy audioChanged(&run.audio, &QComboBox::currentIndexChanged);
        run.catalog.LoadCodecs(&run.video, &run.audio);
        run.signalsSeen = static_cast<int>(videoChanged.count() + audioChanged.count());
    }

private slots:
    void initTestCase() { QVERIFY(folder_.isValid()); }

    void listsFollowTheTypesInFileOrder() {
        Load run;
        load(run, CatalogFiles::Lines(Catalog({
                      Codec("libx264", "H.264", "video codec"),
                      Codec("aac", "AAC", "audio codec"),
                      Codec("", "[Default]", "general"),
                      Codec("mpeg4", "MPEG-4", "video codec"),
                      Codec("libmp3lame", "MP3", "audio codec"),
                      Codec("x", "Video Upper", "Video codec"),
                      Codec("y", "No type", ""),
                      Codec("mpeg4 ", "MPEG-4", "video codec"),
                  })));
        QVERIFY(run.messages.messages.isEmpty());
        QCOMPARE(run.catalog.CodecCount(), 8);
        QCOMPARE(Items(run.video), (QStringList{"H.264", "[Default]", "MPEG-4", "MPEG-4"}));
        QCOMPARE(Items(run.audio), (QStringList{"AAC", "[Default]", "MP3"}));
        QCOMPARE(run.video.currentIndex(), 0);
        QCOMPARE(run.audio.currentIndex(), 0);
        QCOMPARE(run.signalsSeen, 0);
    }

    void codecNamesAreLookedUpByExactDescription() {
        CodecCatalog empty;
        QCOMPARE(empty.GetCodecName(QString()), QString());

        CodecCatalog catalog;
        const QString text = QString::fromUtf8(CatalogFiles::Lines(Catalog({
            Codec("  libx264  ", "H.264", "video codec"),
            Codec("second", "H.264", "video codec"),
            Codec("\tflac", " FLAC ", "audio codec"),
            Codec("", "Default", "general"),
        })));
        QCOMPARE(catalog.ReadCodecs(text).outcome, CatalogResult::Outcome::Loaded);
        QCOMPARE(catalog.GetCodecName(QStringLiteral("H.264")), QStringLiteral("libx264"));
        QCOMPARE(catalog.GetCodecName(QStringLiteral("h.264")), QString());
        QCOMPARE(catalog.GetCodecName(QStringLiteral("FLAC")), QString());
        QCOMPARE(catalog.GetCodecName(QStringLiteral(" FLAC ")), QStringLiteral("\tflac"));
        QCOMPARE(catalog.GetCodecName(QStringLiteral("Default")), QString());
        QCOMPARE(catalog.GetCodecName(QStringLiteral("Unknown")), QString());
    }

    void lineLayoutQuirks() {
        Load run;
        const QStringList lines{
            "   <?xml version=\"1.0\"?>  ", // the fixed lines may carry blanks around them
            "  <codecs>",
            "<codec>",
            "<type>video codec</TYPE>",
            "<name>mpeg4</name>",
            "<description>  Spaced  </description> anything",
            "</codec>",
            "  ", // a line of blanks opens a record: the next three lines are its fields
            "<codec>",
            "<name>shifted</name>",
            "<description>Shifted</description>",
            "<type>audio codec</type>", // the closing line, not examined
            "<codec>",
            "<name>first</name>",
            "<name>later</name>",
            "<other>counts as a field line</other>",
            "<codec>",
            "<codec></codec>",
            "<codec>",
            "<name>pcm</name>",
            "<description>PCM</description>",
            "<type>audio codec</type>",
            "</codec>",
            "   </codecs>",
        };
        load(run, CatalogFiles::Lines(lines));
        QVERIFY2(run.messages.messages.isEmpty(), qPrintable(run.messages.texts().join('|')));
        // The shifted record lost its type to the closing line; the record without a
        // description was merged into the one after it.
        QCOMPARE(run.catalog.CodecCount(), 3);
        const QList<CodecRecord>& codecs = run.catalog.Codecs();
        QCOMPARE(codecs[0].description, QStringLiteral("  Spaced  "));
        QCOMPARE(codecs[1].name, QStringLiteral("shifted"));
        QCOMPARE(codecs[1].type, QString());
        QCOMPARE(codecs[2].name, QStringLiteral("pcm"));
        QCOMPARE(codecs[2].description, QStringLiteral("PCM"));
        QCOMPARE(Items(run.video), QStringList{"  Spaced  "});
        QCOMPARE(Items(run.audio), QStringList{"PCM"});

        CodecCatalog merged;
        QCOMPARE(merged
                     .ReadCodecs(QString::fromUtf8(CatalogFiles::Lines(
                         {"<c>", "<name>later</name>", "<type>general</type>", "<x>", "<c>", "<c>",
                          "<description>D</description>", "<y>", "<z>", "<c>"})))
                     .outcome,
                 CatalogResult::Outcome::Loaded);
        QCOMPARE(merged.CodecCount(), 1);
        QCOMPARE(merged.Codecs().at(0).name, QStringLiteral("later"));
        QCOMPARE(merged.Codecs().at(0).type, QStringLiteral("general"));
    }

    // A catalog that opens no record says so and leaves the lists alone.
    void catalogWithoutARecordLeavesTheListsAlone() {
        for (const QByteArray& bytes :
             {QByteArray("   "), QByteArray("\r\n\r\n\r\n"), CatalogFiles::Lines(Catalog({}))}) {
            Load run;
            run.video.addItem(QStringLiteral("kept"));
            run.audio.addItem(QStringLiteral("kept too"));
            load(run, bytes);
            QCOMPARE(run.messages.texts(),
                     QStringList{messageStart + QStringLiteral("The file %1/codecs.xml holds no "
                                                               "codec.")
                                                    .arg(folder_.path())});
            QCOMPARE(run.catalog.CodecCount(), 0);
            QCOMPARE(Items(run.video), QStringList{"kept"});
            QCOMPARE(Items(run.audio), QStringList{"kept too"});
        }

        // A catalog that loads refills the lists.
        Load refill;
        refill.video.addItem(QStringLiteral("old"));
        refill.audio.addItem(QStringLiteral("old"));
        load(refill, CatalogFiles::Lines(Catalog({Codec("c", "D", "general")})));
        QCOMPARE(Items(refill.video), QStringList{"D"});
        QCOMPARE(Items(refill.audio), QStringList{"D"});
    }

    void failuresShowTheMessage_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("listed");
        const QStringList video = Codec("mpeg4", "MPEG-4", "video codec");
        const QStringList audio = Codec("mp2", "MP2", "audio codec");
        QTest::newRow("empty file") << QByteArray() << "is empty" << 0 << false;
        QTest::newRow("no >") << CatalogFiles::Lines(
                                     Catalog({video, {"<codec>", "<name", "<a>", "<b>", "."}}))
                              << "Line 9: a field line has no '>'" << 1 << false;
        QTest::newRow("> before <")
            << CatalogFiles::Lines({"<codec>", "a > <name>"})
            << "Line 2: the first '>' of a field line stands before its first '<'" << 0 << false;
        QTest::newRow("closing tag missing")
            << CatalogFiles::Lines(Catalog({video, {"<c>", "<type>video codec<type>"}}))
            << "Line 9: the field line <type> has no closing tag </type>" << 1 << false;
        QTest::newRow("past the end")
            << CatalogFiles::Lines(video.mid(0, 3))
            << "Line 1: the record that starts here ends before" << 0 << false;
        QTest::newRow("no closing line")
            << CatalogFiles::Lines(video.mid(0, 4))
            << "Line 1: the record that starts here has no closing" << 0 << false;
        QTest::newRow("no video codec") << CatalogFiles::Lines(Catalog({audio}))
                                        << "the video codec list is empty" << 1 << true;
        QTest::newRow("no audio codec") << CatalogFiles::Lines(Catalog({video}))
                                        << "the audio codec list is empty" << 1 << true;
    }
    void failuresShowTheMessage() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QFETCH(int, count);
        QFETCH(bool, listed);
        Load run;
        load(run, bytes);
        QCOMPARE(run.messages.messages.size(), 1);
        QCOMPARE(run.messages.messages.first().icon, Platform::MessageIcon::None);
        const QString text = run.messages.messages.first().text;
        QVERIFY2(text.startsWith(messageStart) && text.contains(reason), qPrintable(text));
        QCOMPARE(run.catalog.CodecCount(), count);
        if (!listed) {
            QCOMPARE(run.video.count() + run.audio.count(), 0);
            return;
        }
        // The lists keep what was added; only a list that was selected has a current entry.
        const bool audioOnly = run.audio.count() == 1;
        QCOMPARE(run.video.count(), audioOnly ? 0 : 1);
        QCOMPARE(run.audio.currentIndex(), -1);
        QCOMPARE(run.video.currentIndex(), audioOnly ? -1 : 0);
    }

    void missingFileIsReported() {
        QTemporaryDir empty;
        const TestSupport::ApplicationFolderOverride override(empty.path());
        TestSupport::MessageRecorder messages;
        CodecCatalog catalog;
        QComboBox video;
        QComboBox audio;
        catalog.LoadCodecs(&video, &audio);
        QCOMPARE(messages.texts(),
                 QStringList{messageStart + QStringLiteral("The file ") + empty.path() +
                             QStringLiteral("/codecs.xml could not be read: No such file or "
                                            "directory")});
    }

    // Catalogs of any size load: no limit on the number of lines or on positions in a line.
    void largeCatalogsLoad() {
        QList<QStringList> records;
        for (int i = 0; i < 8000; ++i) {
            records.append(Codec(QStringLiteral("n%1").arg(i), QStringLiteral("D%1").arg(i),
                                 i % 2 == 0 ? "video codec" : "audio codec"));
        }
        const QString longName(40000, QLatin1Char('n'));
        records.append(Codec(longName, "Long", "general"));
        Load run;
        load(run, CatalogFiles::Lines(Catalog(records)));
        QVERIFY(run.messages.messages.isEmpty());
        QCOMPARE(run.catalog.CodecCount(), 8001);
        QCOMPARE(run.video.count(), 4001);
        QCOMPARE(run.audio.count(), 4001);
        QCOMPARE(run.catalog.GetCodecName(QStringLiteral("D7999")), QStringLiteral("n7999"));
        QCOMPARE(run.catalog.GetCodecName(QStringLiteral("Long")), longName);
    }
};

QTEST_MAIN(tst_CodecCatalog)
#include "tst_CodecCatalog.moc"
