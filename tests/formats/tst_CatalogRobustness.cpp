#include "formats/CodecCatalog.h"
#include "formats/PresetCatalog.h"

#include "CatalogFiles.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

// Any bytes as a catalog file give records or the message: never a crash, a hang or a list that
// grows beyond the file. Inputs are random and mutated catalogs from a fixed seed.
namespace {

const QByteArray presetSample = CatalogFiles::Lines(
    {"<?xml version=\"1.0\"?>", "<presets>", "<preset>", "<label>H.264 720p</label>",
     "  <params>-vf scale=-2:720 -c:v libx264</params>", "<extension>mp4</extension>",
     "<category>Web</category>", "</preset>", "<preset>", "<label>MP3</label>",
     "<params>-vn -c:a libmp3lame</params>", "<extension>mp3</extension>",
     "<category>Audio</category>", "</preset>", "</presets>", ""});

const QByteArray codecSample = CatalogFiles::Lines(
    {"<?xml version=\"1.0\"?>", "<codecs>", "<codec>", "  <name>mpeg4</name>",
     "  <description>MPEG-4</description>", "  <type>video codec</type>", "</codec>", "<codec>",
     "  <name>aac</name>", "  <description>AAC</description>", "  <type>audio codec</type>",
     "</codec>", "<codec>", "<name></name>", "<description>Default</description>",
     "<type>general</type>", "</codec>", "  </codecs>", ""});

// Pieces that steer random text towards the interesting paths of the line reader.
const QList<QByteArray> pieces{"<",
                               ">",
                               "</",
                               "\r\n",
                               "\r",
                               "\n",
                               " ",
                               "<label>",
                               "</label>",
                               "<params>",
                               "</PARAMS>",
                               "<category>",
                               "</category>",
                               "<name>",
                               "</name>",
                               "<description>",
                               "</description>",
                               "<type>",
                               "</type>",
                               "general",
                               "video codec",
                               "audio codec",
                               "<presets>",
                               "<codecs>",
                               "\xff",
                               "\xc3\xa9",
                               "<?xml version=\"1.0\"?>",
                               "x",
                               "\0"};

QByteArray RandomText(QRandomGenerator& random) {
    QByteArray text;
    const int count = random.bounded(0, 120);
    for (int i = 0; i < count; ++i) {
        if (random.bounded(4) == 0) {
            text.append(static_cast<char>(random.bounded(256)));
        } else {
            text.append(pieces[random.bounded(static_cast<int>(pieces.size()))]);
        }
    }
    return text;
}

QByteArray Mutated(QRandomGenerator& random, QByteArray text) {
    const int edits = random.bounded(1, 6);
    for (int i = 0; i < edits; ++i) {
        const int at = random.bounded(static_cast<int>(text.size()) + 1);
        switch (random.bounded(5)) {
        case 0: // delete a stretch
            text.remove(at, random.bounded(1, 12));
            break;
        case 1: // insert a piece
            text.insert(at, pieces[random.bounded(static_cast<int>(pieces.size()))]);
            break;
        case 2: // overwrite a byte
            if (at < text.size()) {
                text[at] = static_cast<char>(random.bounded(256));
            }
            break;
        case 3: // repeat a stretch
            text.insert(at, text.mid(random.bounded(static_cast<int>(text.size()) + 1),
                                     random.bounded(1, 40)));
            break;
        default: // cut the text short
            text.truncate(at);
            break;
        }
    }
    return text;
}

QByteArray Input(QRandomGenerator& random, const QByteArray& sample) {
    return random.bounded(3) == 0 ? RandomText(random) : Mutated(random, sample);
}

int LineCount(const QString& text) {
    return static_cast<int>(text.count(QStringLiteral("\r\n"))) + 1;
}

} // namespace

class tst_CatalogRobustness : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;

private slots:
    void initTestCase() { QVERIFY(folder_.isValid()); }

    void presetReaderTakesAnyText() {
        QRandomGenerator random(20240611);
        int outcomes[3] = {};
        for (int round = 0; round < 4000; ++round) {
            const QString text = QString::fromLocal8Bit(Input(random, presetSample));
            PresetCatalog catalog;
            const CatalogResult result = catalog.ReadPresets(text);
            ++outcomes[static_cast<int>(result.outcome)];
            const auto slotCount = static_cast<int>(catalog.Presets().size());
            QVERIFY(slotCount <= LineCount(text) / 2 + 1);
            switch (result.outcome) {
            case CatalogResult::Outcome::Loaded:
                QVERIFY(catalog.PresetCount() >= 1);
                QCOMPARE(catalog.PresetCount(), slotCount);
                QVERIFY(!catalog.Categories().isEmpty());
                break;
            case CatalogResult::Outcome::Failed:
                QVERIFY(result.reason.startsWith(QStringLiteral("Line ")));
                QCOMPARE(catalog.PresetCount(), slotCount - 1);
                break;
            case CatalogResult::Outcome::NoRecord:
                QCOMPARE(slotCount, 0);
                QCOMPARE(catalog.PresetCount(), 0);
                break;
            }
        }
        qInfo("loaded %d, no record %d, failed %d", outcomes[0], outcomes[1], outcomes[2]);
        QVERIFY(outcomes[0] > 400 && outcomes[2] > 400);
    }

    void codecReaderTakesAnyText() {
        QRandomGenerator random(20240612);
        int outcomes[3] = {};
        for (int round = 0; round < 4000; ++round) {
            const QString text = QString::fromLocal8Bit(Input(random, codecSample));
            CodecCatalog catalog;
            const CatalogResult result = catalog.ReadCodecs(text);
            ++outcomes[static_cast<int>(result.outcome)];
            const auto slotCount = static_cast<int>(catalog.Codecs().size());
            QVERIFY(slotCount <= LineCount(text) / 2 + 1);
            if (result.outcome == CatalogResult::Outcome::Loaded) {
                QCOMPARE(catalog.CodecCount(), slotCount);
                // Every description finds a record whose description it is.
                for (const CodecRecord& codec : catalog.Codecs()) {
                    const QString name = catalog.GetCodecName(codec.description);
                    QVERIFY(std::any_of(catalog.Codecs().begin(), catalog.Codecs().end(),
                                        [&](const CodecRecord& other) {
                                            return other.description == codec.description &&
                                                   other.name.trimmed() == name.trimmed();
                                        }));
                }
            } else if (result.failed()) {
                QVERIFY(result.reason.startsWith(QStringLiteral("Line ")));
                QCOMPARE(catalog.CodecCount(), slotCount - 1);
                QCOMPARE(qsizetype(catalog.CountedCodecs().size()), qsizetype(slotCount - 1));
            }
        }
        qInfo("loaded %d, no record %d, failed %d", outcomes[0], outcomes[1], outcomes[2]);
        QVERIFY(outcomes[0] > 400 && outcomes[2] > 400);
    }

    // Through the files and the lists: either one message and untouched lists, or filled lists.
    void loadingAnyFileGivesRecordsOrTheMessage() {
        const TestSupport::ApplicationFolderOverride override(folder_.path());
        QRandomGenerator random(20240613);
        for (int round = 0; round < 300; ++round) {
            const QByteArray presets = Input(random, presetSample);
            const QByteArray codecs = Input(random, codecSample);
            QVERIFY(CatalogFiles::Write(folder_.path(), QStringLiteral("presets.xml"), presets));
            QVERIFY(CatalogFiles::Write(folder_.path(), QStringLiteral("codecs.xml"), codecs));
            TestSupport::MessageRecorder messages;

            PresetCatalog presetCatalog;
            QComboBox category;
            int handled = 0;
            presetCatalog.LoadPresets(&category, [&handled](const QString&) { ++handled; });
            if (messages.messages.isEmpty()) {
                QVERIFY(presetCatalog.PresetCount() > 0);
                QVERIFY(category.count() > 0);
                QCOMPARE(handled, 1);
            } else {
                QCOMPARE(messages.messages.size(), 1);
                QVERIFY(messages.texts().first().startsWith(
                    QStringLiteral("Error Occured while Loading Presets.\r\n")));
                QCOMPARE(category.count(), 0);
                QCOMPARE(handled, 0);
            }

            messages.clear();
            CodecCatalog codecCatalog;
            QComboBox video;
            QComboBox audio;
            codecCatalog.LoadCodecs(&video, &audio);
            if (messages.messages.isEmpty()) {
                QVERIFY(video.count() > 0 && audio.count() > 0);
            } else {
                QCOMPARE(messages.messages.size(), 1);
                QVERIFY(messages.texts().first().startsWith(
                    QStringLiteral("Error Occured while Loading Codecs.\r\n")));
            }
        }
    }
};

QTEST_MAIN(tst_CatalogRobustness)
#include "tst_CatalogRobustness.moc"
