#include "formats/PresetCatalog.h"

#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

// The presets.xml that ships beside the program: its layout, its first-start choice, and every
// preset run by the real ffmpeg the way a cut runs it.
namespace {

const QString clipName = QStringLiteral("clip.mp4");

// Sources for the presets that copy streams: a clip in the container the cut writes (or one
// whose codecs suit it), with a keyframe every second and no reordered frames, so a copy that
// starts at the 1 s mark starts on a keyframe.
const QHash<QString, QString> copySources{
    {"mp4", "-c:v libx264 -pix_fmt yuv420p -bf 0 -g 25 -c:a aac"},
    {"mkv", "-c:v libx264 -pix_fmt yuv420p -bf 0 -g 25 -c:a aac"},
    {"mov", "-c:v libx264 -pix_fmt yuv420p -bf 0 -g 25 -c:a aac"},
    {"ts", "-c:v libx264 -pix_fmt yuv420p -bf 0 -g 25 -c:a aac"},
    {"flv", "-c:v libx264 -pix_fmt yuv420p -bf 0 -g 25 -c:a aac"},
    {"3gp", "-c:v libx264 -pix_fmt yuv420p -bf 0 -g 25 -c:a aac"},
    {"avi", "-c:v mpeg4 -bf 0 -g 25 -c:a libmp3lame"},
    {"webm", "-c:v libvpx-vp9 -g 25 -deadline realtime -c:a libopus"},
    {"wmv", "-c:v wmv2 -g 25 -c:a wmav2"},
    {"mpg", "-c:v mpeg2video -bf 0 -g 25 -c:a mp2"},
};
// Audio extraction keeps the codec: AAC from MP4 sources, MP3 from AVI sources.
const QHash<QString, QString> extractSources{{"mka", "mp4"}, {"m4a", "mp4"}, {"mp3", "avi"}};

bool CopiesStreams(const QString& params) {
    return params.contains(QStringLiteral("copy"));
}

} // namespace

class tst_ShippedPresets : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    PresetCatalog catalog_;

    QString path(const QString& name) const { return QDir(folder_.path()).filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        QFile file(TestSupport::BuildFolder() + QStringLiteral("/presets.xml"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        // CR LF everywhere: a lone LF would join two lines into one.
        QCOMPARE(bytes.count("\n"), bytes.count("\r\n"));
        QCOMPARE(catalog_.ReadPresets(QString::fromUtf8(bytes)).outcome,
                 CatalogResult::Outcome::Loaded);

        QVERIFY(TestSupport::MakeClip(path(clipName), 4, QStringLiteral("320x240"),
                                      {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"}));
        for (auto it = copySources.begin(); it != copySources.end(); ++it) {
            QVERIFY2(TestSupport::MakeClip(path(QStringLiteral("source.") + it.key()), 4,
                                           QStringLiteral("320x240"), it.value().split(' ')),
                     qPrintable(it.key()));
        }
    }

    void loadsWithoutMessageAndOffersAGoodFirstStartChoice() {
        const TestSupport::ApplicationFolderOverride override(TestSupport::BuildFolder());
        TestSupport::MessageRecorder messages;
        PresetCatalog catalog;
        QComboBox categories;
        QStringList handled;
        catalog.LoadPresets(&categories, [&handled](const QString& text) { handled.append(text); });
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join('|')));
        QCOMPARE(catalog.PresetCount(), catalog_.PresetCount());
        QVERIFY(categories.count() >= 6);
        QCOMPARE(handled, QStringList{categories.itemText(0)});

        // A first start picks the second category, its second label, and that label's second
        // container, the lists being built in catalog order without repeats.
        const QString category = categories.itemText(1);
        QStringList labels;
        for (const PresetRecord& record : catalog.Presets()) {
            if (record.category == category && !labels.contains(record.label)) {
                labels.append(record.label);
            }
        }
        QVERIFY(labels.size() >= 2);
        QStringList extensions;
        for (const PresetRecord& record : catalog.Presets()) {
            if (record.category == category && record.label == labels[1] &&
                !extensions.contains(record.extension)) {
                extensions.append(record.extension);
            }
        }
        QVERIFY(extensions.size() >= 2);
        QCOMPARE(category, QStringLiteral("Web and Social Video"));
        QCOMPARE(labels[1], QStringLiteral("H.264 / AAC 720p"));
        QCOMPARE(extensions[1], QStringLiteral("mp4"));

        // Every record is complete and unambiguous on a command line without quoting.
        QSet<QString> triples;
        for (const PresetRecord& record : catalog.Presets()) {
            QVERIFY(!record.label.isEmpty() && !record.params.isEmpty() &&
                    !record.extension.isEmpty());
            QVERIFY2(!record.params.contains(u'"'), qPrintable(record.params));
            const QString triple = record.category + u'|' + record.label + u'|' + record.extension;
            QVERIFY2(!triples.contains(triple), qPrintable(triple));
            triples.insert(triple);
        }
    }

    void everyPresetMakesAPlayableCut_data() {
        QTest::addColumn<QString>("params");
        QTest::addColumn<QString>("extension");
        for (const PresetRecord& record : catalog_.Presets()) {
            QTest::addRow("%s | %s | %s", qPrintable(record.category), qPrintable(record.label),
                          qPrintable(record.extension))
                << record.params << record.extension;
        }
    }
    void everyPresetMakesAPlayableCut() {
        QFETCH(QString, params);
        QFETCH(QString, extension);
        QString input = path(clipName);
        if (CopiesStreams(params)) {
            const QString source = extractSources.value(extension, extension);
            QVERIFY2(copySources.contains(source), "no source clip for this container");
            input = path(QStringLiteral("source.") + source);
        }
        const QString output = path(QStringLiteral("cut.") + extension);
        QFile::remove(output);
        // As the program runs it: the input, the preset's arguments, then the range.
        QStringList arguments{QStringLiteral("-i"), input};
        arguments += params.split(u' ', Qt::SkipEmptyParts);
        arguments += {"-ss", "1", "-t", "2", "-y", output};
        QString errors;
        QVERIFY2(TestSupport::RunFfmpeg(arguments, &errors), qPrintable(errors));

        const TestSupport::ProbeResult probe = TestSupport::Probe(output);
        QVERIFY2(qAbs(probe.duration - 2.0) <= 0.25, qPrintable(QString::number(probe.duration)));
        const bool wantsVideo = !params.split(u' ').contains(QStringLiteral("-vn"));
        const bool wantsAudio = !params.split(u' ').contains(QStringLiteral("-an"));
        QCOMPARE(probe.streamTypes.contains(QStringLiteral("video")), wantsVideo);
        QCOMPARE(probe.streamTypes.contains(QStringLiteral("audio")), wantsAudio);
        QFile::remove(output);
    }
};

QTEST_MAIN(tst_ShippedPresets)
#include "tst_ShippedPresets.moc"
