#include "engine/CommandLine.h"
#include "engine/ConversionCommand.h"
#include "engine/CutParameters.h"
#include "formats/FormatPanel.h"
#include "formats/PresetCatalog.h"
#include "preview/Slider.h"
#include "settings/RememberedSettings.h"

#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

// The presets.xml that ships beside the program: its layout, its first-start choice, and every
// preset (and the first-start custom format) run by the real ffmpeg the way a cut runs it, on
// clips made the way phones and editors make them.
namespace {

// The sources: x264's and x265's defaults (B-frames, a key frame every 250 frames; x265 with
// open GOPs), VP9 with libvpx's default key-frame distance, AAC or Opus audio, sizes that are
// no multiple of 16. The cut starts between key frames in all three and has no key frame inside.
struct Source {
    const char* file;
    int framesPerSecond;
    QStringList codecArguments;
};
const QHash<QString, Source> sources{
    {"h264", {"h264.mp4", 25, {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"}}},
    {"hevc",
     {"hevc.mp4",
      30,
      {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=error", "-pix_fmt",
       "yuv420p", "-tag:v", "hvc1", "-c:a", "aac"}}},
    {"vp9",
     {"vp9.webm",
      30,
      {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-c:a", "libopus", "-ar",
       "48000"}}},
};
// Key frames: every 10 s (H.264, 25 fps), 8.3 s (H.265, 30 fps), 4.3 s (VP9, 30 fps).
constexpr double MarkStart = 5;
constexpr double CopyLength = 2;
// Re-encoding cuts are short, so the whole catalog runs twice in well under a minute.
constexpr double EncodeLength = 0.2;

bool CopiesStreams(const QString& params) {
    return params.contains(QStringLiteral("copy"));
}

// The sources a stream-copy preset's label says it takes.
QStringList ClaimedSources(const QString& label) {
    if (label.contains(QStringLiteral("H.264/H.265")) ||
        label.contains(QStringLiteral("AAC Audio"))) {
        return {"h264", "hevc"};
    }
    if (label.contains(QStringLiteral("H.264 "))) {
        return {"h264"};
    }
    if (label.contains(QStringLiteral("WebM"))) {
        return {"vp9"};
    }
    return {"h264", "hevc", "vp9"};
}

QString Seconds(double seconds) {
    return QString::number(seconds, 'g', 6);
}

// The encoder's arguments after its name, as the converter puts them together for a cut of
// `length` seconds from the mark (the range as the task appends it).
QStringList ProgramArguments(const QString& input, const QString& params, double length,
                             const QString& output) {
    const QString arguments = params + QStringLiteral(" -ss ") + Seconds(MarkStart) +
                              QStringLiteral(" -t ") + Seconds(length) + QStringLiteral(" -y");
    return CommandLine::SplitCommandLine(
               ConversionCommand::Build(QStringLiteral("ffmpeg"), input, arguments, output))
        .mid(1);
}

// The same cut as the converter ran it before it seeked in the input: the range after it.
QStringList FormerArguments(const QString& input, const QString& params, double length,
                            const QString& output) {
    return QStringList{"-i", input} + params.split(u' ', Qt::SkipEmptyParts) +
           QStringList{"-ss", Seconds(MarkStart), "-t", Seconds(length), "-y", output};
}

// The custom format a first start offers (an empty settings store), as GetParamaters gives it
// for a marked range, without that range.
QString FirstStartCustomFormat() {
    QTemporaryDir store;
    const QByteArray previousStore = qgetenv("QUENLET_STORE_DIR");
    qputenv("QUENLET_STORE_DIR", store.path().toLocal8Bit());
    const TestSupport::ApplicationFolderOverride folder(TestSupport::BuildFolder());
    QLabel lblFormat;
    FormatPanel panel(&lblFormat);
    panel.LoadPresets();
    panel.LoadCodecs();
    QRadioButton sameFolder;
    QRadioButton otherFolder;
    QLineEdit outPath;
    QPushButton browse;
    RememberedSettings(&panel, &sameFolder, &otherFolder, &outPath, &browse).LoadSettings();
    qputenv("QUENLET_STORE_DIR", previousStore);
    panel.optFormat[1]->setChecked(true);
    Slider slider;
    slider.SetMax(100);
    slider.SetSelectStart(5);
    slider.SetSelectEnd(6);
    QString arguments = CutParameters::GetParamaters(panel, slider);
    const QString range = QStringLiteral(" -ss 5 -t 1");
    if (!arguments.endsWith(range)) {
        return {};
    }
    arguments.chop(range.size());
    return arguments;
}

// One cut of the data-driven test: a format and the source it is cut from.
struct Row {
    QByteArray name;
    QString params;
    QString extension;
    QString source;
};

// What the encoder made of a row: the cut (and, for a re-encoding format, the same cut made
// the former way), decoded.
struct Outcome {
    bool encoded = false;
    QString errors;
    QList<TestSupport::DecodedFile> decoded;
};

Outcome Cut(const Row& row, const QString& folder, int index) {
    const QString input =
        QDir(folder).filePath(QString::fromLatin1(sources.value(row.source).file));
    const bool copy = CopiesStreams(row.params);
    const double length = copy ? CopyLength : EncodeLength;
    const QString stem = QDir(folder).filePath(QString::number(index));
    const QString output = stem + QStringLiteral("-cut.") + row.extension;
    const QString former = stem + QStringLiteral("-former.") + row.extension;
    Outcome outcome;
    outcome.encoded =
        TestSupport::RunFfmpeg(ProgramArguments(input, row.params, length, output),
                               &outcome.errors) &&
        (copy || TestSupport::RunFfmpeg(FormerArguments(input, row.params, length, former),
                                        &outcome.errors));
    if (outcome.encoded) {
        outcome.decoded =
            TestSupport::Decode(copy ? QStringList{output} : QStringList{output, former});
    }
    QFile::remove(output);
    QFile::remove(former);
    return outcome;
}

} // namespace

class tst_ShippedPresets : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    PresetCatalog catalog_;
    QHash<QString, TestSupport::DecodedStream> sourceVideo_;
    QHash<QString, QList<double>> keyFrames_;
    QString firstStartCustom_;
    QList<Row> rows_;
    QHash<QByteArray, Outcome> outcomes_;

    QString path(const QString& name) const { return QDir(folder_.path()).filePath(name); }

    // Every row's cuts are made up front, as many at once as there are cores: most of the time
    // goes to starting the encoder, which one core waits on alone.
    void CutEveryRow() {
        std::vector<Outcome> outcomes(static_cast<std::size_t>(rows_.size()));
        std::atomic<qsizetype> next{0};
        const auto work = [&] {
            for (qsizetype i = next++; i < rows_.size(); i = next++) {
                outcomes[static_cast<std::size_t>(i)] =
                    Cut(rows_.at(i), folder_.path(), static_cast<int>(i));
            }
        };
        std::vector<std::thread> workers;
        for (int i = 0; i < std::max(2, QThread::idealThreadCount()); ++i) {
            workers.emplace_back(work);
        }
        for (std::thread& worker : workers) {
            worker.join();
        }
        for (qsizetype i = 0; i < rows_.size(); ++i) {
            outcomes_.insert(rows_.at(i).name, outcomes[static_cast<std::size_t>(i)]);
        }
    }

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

        for (auto it = sources.begin(); it != sources.end(); ++it) {
            const QString file = path(QString::fromLatin1(it->file));
            QVERIFY2(TestSupport::MakeClip(file, 10, QStringLiteral("322x182"), it->codecArguments,
                                           it->framesPerSecond),
                     qPrintable(it.key()));
            keyFrames_.insert(it.key(), TestSupport::KeyFrameTimes(file));
            sourceVideo_.insert(it.key(),
                                TestSupport::Decode({file}).first().First(QStringLiteral("video")));
            // Every picture differs from every other, so a hash tells where a picture came from.
            const QStringList& hashes = sourceVideo_.value(it.key()).hashes;
            QVERIFY(!hashes.isEmpty());
            QCOMPARE(QSet<QString>(hashes.cbegin(), hashes.cend()).size(), hashes.size());
        }
        firstStartCustom_ = FirstStartCustomFormat();
        QVERIFY(!firstStartCustom_.isEmpty());

        for (const PresetRecord& record : catalog_.Presets()) {
            const QStringList claimed =
                CopiesStreams(record.params) ? ClaimedSources(record.label) : QStringList{"h264"};
            for (const QString& source : claimed) {
                const QString name =
                    QStringLiteral("%1 | %2 | %3 from %4")
                        .arg(record.category, record.label, record.extension, source);
                rows_.append({name.toUtf8(), record.params, record.extension, source});
            }
        }
        rows_.append({"custom format of the first start", firstStartCustom_, QStringLiteral("avi"),
                      QStringLiteral("h264")});
        CutEveryRow();
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

    void everyFormatCutsTheMarkedRange_data() {
        QTest::addColumn<QString>("params");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("source");
        for (const Row& row : rows_) {
            QTest::newRow(row.name.constData()) << row.params << row.extension << row.source;
        }
    }

    // A re-encoded cut seeks in the input and still gets exactly the pictures it got when the
    // encoder decoded up to the mark; a stream copy starts at the key frame before the mark and
    // runs past the marked range, with the audio in step.
    void everyFormatCutsTheMarkedRange() {
        QFETCH(QString, params);
        QFETCH(QString, extension);
        QFETCH(QString, source);
        const bool copy = CopiesStreams(params);
        const double length = copy ? CopyLength : EncodeLength;
        QVERIFY(outcomes_.contains(QTest::currentDataTag()));
        const Outcome& outcome = outcomes_[QTest::currentDataTag()];
        QVERIFY2(outcome.encoded, qPrintable(outcome.errors));
        const QList<TestSupport::DecodedFile>& decoded = outcome.decoded;

        const TestSupport::DecodedFile& cut = decoded.first();
        const QStringList words = params.split(u' ');
        const bool wantsVideo = !words.contains(QStringLiteral("-vn"));
        const bool wantsAudio = !words.contains(QStringLiteral("-an"));
        QCOMPARE(cut.Types().contains(QStringLiteral("video")), wantsVideo);
        QCOMPARE(cut.Types().contains(QStringLiteral("audio")), wantsAudio);
        const TestSupport::DecodedStream video = cut.First(QStringLiteral("video"));
        const TestSupport::DecodedStream audio = cut.First(QStringLiteral("audio"));
        QCOMPARE(video.hashes.isEmpty(), !wantsVideo);

        if (!copy) {
            const TestSupport::DecodedFile& before = decoded.last();
            if (wantsVideo) {
                QCOMPARE(video.hashes, before.First(QStringLiteral("video")).hashes);
            } else {
                QVERIFY2(qAbs(audio.Seconds() - length) <= 0.1,
                         qPrintable(QString::number(audio.Seconds())));
                QVERIFY(qAbs(audio.Seconds() - before.First(QStringLiteral("audio")).Seconds()) <=
                        0.05);
            }
            return;
        }

        const double frame = 1.0 / sources.value(source).framesPerSecond;
        const QList<double> keyFrames = keyFrames_.value(source);
        const auto keyFrame = std::find_if(keyFrames.crbegin(), keyFrames.crend(),
                                           [](double time) { return time <= MarkStart; });
        QVERIFY(keyFrame != keyFrames.crend());
        if (!wantsVideo) {
            QVERIFY2(audio.Seconds() >= CopyLength - 0.05,
                     qPrintable(QString::number(audio.Seconds())));
            return;
        }
        // The pictures are the source's own, one after the other, from the key frame before the
        // mark to the end of the marked range at least. (Past the range, a picture that needs a
        // later one the copy left out may be missing.)
        const TestSupport::DecodedStream& whole = sourceVideo_.value(source);
        const qsizetype first = whole.hashes.indexOf(video.hashes.first());
        QVERIFY2(first >= 0, "the first picture is not one of the source's");
        QVERIFY(qAbs(whole.times.at(first) - *keyFrame) <= frame / 2);
        qsizetype inRange = 0;
        while (first + inRange < whole.times.size() &&
               whole.times.at(first + inRange) < MarkStart + CopyLength - frame / 2) {
            ++inRange;
        }
        QVERIFY2(video.hashes.size() >= inRange, qPrintable(QString::number(video.hashes.size())));
        QCOMPARE(video.hashes.mid(0, inRange), whole.hashes.mid(first, inRange));
        if (wantsAudio) {
            // Copied audio starts with the pictures; re-encoded audio starts at the mark, as far
            // into the cut as the mark is after the key frame.
            const double expected = params.contains(QStringLiteral("-c copy"))
                                        ? video.times.first()
                                        : video.times.first() + (MarkStart - *keyFrame);
            QVERIFY2(qAbs(audio.times.first() - expected) <= 0.15,
                     qPrintable(QStringLiteral("audio at %1, video at %2")
                                    .arg(audio.times.first())
                                    .arg(video.times.first())));
        }
    }
};

QTEST_MAIN(tst_ShippedPresets)
#include "tst_ShippedPresets.moc"
