#include "engine/CommandLine.h"
#include "engine/CutRequest.h"
#include "engine/SourceFacts.h"
#include "formats/CutParameters.h"
#include "formats/FormatPanel.h"
#include "formats/PresetCatalog.h"
#include "settings/RememberedSettings.h"

#include "tests/support/PlanDriver.h"
#include "tests/support/TestFilm.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
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
// The H.264 source is a phone's film (TestFilm::MakePhoneFilm: turned by 90 degrees, two
// languages, text and picture subtitles, chapters, tags, a timecode and telemetry), the H.265
// one a Matroska film (TestFilm::MakeMatroskaFilm: SubRip, ASS and PGS subtitles, a font).
struct Source {
    const char* file;
    int framesPerSecond;
    QStringList codecArguments; // for a plain clip (TestSupport::MakeClip)
};
const QHash<QString, Source> sources{
    {"h264", {"film.mp4", 25, {}}},
    {"hevc", {"film.mkv", 30, {}}},
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

// A format that fits its cut in a size encodes at a rate of its own, in two passes.
bool FitsASize(const QString& params) {
    return CutRequest::Parse(params).targetBytes > 0;
}

// An exact copy starts on the mark (its own test proves the pictures across its joins).
bool ExactCopy(const QString& params) {
    return params.contains(QStringLiteral("-quenlet-exact-copy"));
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

// The converter's text for a cut of `length` seconds from the mark (the range as the task
// appends it).
QString CutText(const QString& params, double length) {
    return params + QStringLiteral(" -ss ") + Seconds(MarkStart) + QStringLiteral(" -t ") +
           Seconds(length) + QStringLiteral(" -y");
}

// The same cut as the converter ran it before it seeked in the input: the range after it,
// with the encoder's own choice of pictures and sound (and without Quenlet's own options).
QStringList FormerArguments(const QString& input, const QString& params, double length,
                            const QString& output) {
    return QStringList{"-i", input} + CutRequest::Parse(params).formatOptions +
           QStringList{"-sn", "-dn",           "-ss", Seconds(MarkStart),
                       "-t",  Seconds(length), "-y",  output};
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
    QString arguments =
        CutParameters::GetParamaters(panel.Choice(), panel.presets, panel.codecs, 5, 6);
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
// the former way), decoded, and the cut as the prober describes it, with its packets.
struct Outcome {
    bool encoded = false;
    QString errors;
    QString notice;
    QList<TestSupport::DecodedFile> decoded;
    SourceFacts cut;
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
    const PlanDriver::Outcome planned =
        PlanDriver::Cut(input, CutText(row.params, length), output, length);
    outcome.errors = planned.problem + QLatin1Char('\n') + planned.runs.join(u'\n');
    outcome.notice = planned.notice;
    outcome.encoded =
        planned.done &&
        (copy || TestSupport::RunFfmpeg(FormerArguments(input, row.params, length, former),
                                        &outcome.errors));
    if (outcome.encoded) {
        QByteArray described;
        TestSupport::RunProgram(
            QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
             QStringLiteral("format:format_tags:stream:stream_tags:stream_disposition:stream_side_"
                            "data:chapter:chapter_tags:packet=stream_index,pts_time,duration_time,"
                            "size"),
             QStringLiteral("-of"), QStringLiteral("json"), output},
            &described);
        outcome.cut = SourceFacts::Parse(QString::fromUtf8(described));
        outcome.decoded =
            TestSupport::Decode(copy ? QStringList{output} : QStringList{output, former});
    }
    QFile::remove(output);
    QFile::remove(former);
    return outcome;
}

// What a container keeps of the films (the README's table of formats): sound tracks (2: both
// languages in order, 1: the default one), their languages, the subtitle tracks of each film in
// order, chapters, the title, the creation time, a copied video's rotation, the first
// picture's timecode, the telemetry and the font.
struct Keeps {
    int sound = 2;
    bool languages = true;
    QStringList phoneSubtitles;
    QStringList matroskaSubtitles;
    bool chapters = false;
    bool title = true;
    bool creationTime = true;
    bool rotation = false;
    bool timecode = false;
    bool telemetry = false;
    bool font = false;
};
const QStringList MovText{"mov_text"};
const QStringList MovTexts{"mov_text", "mov_text"};
const QStringList MovAndDvd{"mov_text", "dvd_subtitle"};
const QHash<QString, Keeps> keeps{
    // sound, languages, phone, Matroska, chapters, title, creation, rotation, timecode,
    // telemetry, font
    {"mp4", {2, true, MovAndDvd, MovTexts, true, true, true, true, true, true, false}},
    {"mov", {2, true, MovAndDvd, MovTexts, true, true, true, true, true, true, false}},
    {"m4v", {2, true, MovText, {}, true, true, true, true, false, false, false}},
    {"3gp", {2, true, MovText, {}, true, false, true, true, false, false, false}},
    {"3g2", {2, true, MovText, {}, true, false, true, true, false, false, false}},
    {"mkv",
     {2,
      true,
      {"subrip", "dvd_subtitle"},
      {"subrip", "ass", "hdmv_pgs_subtitle"},
      true,
      true,
      true,
      false,
      true,
      false,
      true}},
    {"webm", {2, true, {"webvtt"}, {}, true, true, true, false, true, false, false}},
    {"avi", {2, false, {}, {}, false, true, false, false, false, false, false}},
    {"ts", {2, true, {}, {}, false, false, false, false, false, false, false}},
    {"flv", {1, false, {}, {}, false, true, true, false, false, false, false}},
    {"mpg", {2, false, {"dvd_subtitle"}, {}, false, false, false, false, false, false, false}},
    {"vob", {2, false, {"dvd_subtitle"}, {}, false, false, false, false, false, false, false}},
    {"wmv", {2, true, {}, {}, true, true, false, false, false, false, false}},
    {"asf", {2, true, {}, {}, true, true, false, false, false, false, false}},
    {"rm", {1, false, {}, {}, false, true, false, false, false, false, false}},
    {"mxf", {2, false, {}, {}, false, false, false, false, true, false, false}},
    {"gif", {0, false, {}, {}, false, false, false, false, false, false, false}},
    {"mp3", {1, false, {}, {}, true, true, true, false, false, false, false}},
    {"m4a", {2, true, {}, {}, true, true, true, false, false, false, false}},
    {"aac", {1, false, {}, {}, false, false, false, false, false, false, false}},
    {"opus", {1, true, {}, {}, true, true, true, false, false, false, false}},
    {"ogg", {1, true, {}, {}, false, true, true, false, false, false, false}},
    {"flac", {1, false, {}, {}, false, true, true, false, false, false, false}},
    {"wav", {1, false, {}, {}, false, true, false, false, false, false, false}},
    {"ac3", {1, false, {}, {}, false, false, false, false, false, false, false}},
    {"mka", {2, true, {}, {}, true, true, true, false, false, false, false}},
};

// The packets of one stream of a file the prober described with its packets: start, duration
// and size each.
struct Packet {
    double start;
    double duration;
    int size;
};
QList<Packet> PacketsOf(const SourceFacts& file, int index) {
    QList<Packet> packets;
    for (const QJsonValue& value : file.raw.value(QLatin1String("packets")).toArray()) {
        const QJsonObject packet = value.toObject();
        if (packet.value(QLatin1String("stream_index")).toInt() == index) {
            packets.append({packet.value(QLatin1String("pts_time")).toString().toDouble(),
                            packet.value(QLatin1String("duration_time")).toString().toDouble(),
                            packet.value(QLatin1String("size")).toString().toInt()});
        }
    }
    return packets;
}

// A tag of the file, or of its first stream that has it (Ogg keeps the file's tags with its
// sound track's).
QString FileTag(const SourceFacts& file, const QString& key) {
    QString value = file.tags.value(key);
    for (qsizetype i = 0; value.isEmpty() && i < file.streams.size(); ++i) {
        value = file.streams.at(i).tags.value(key);
    }
    return value;
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
            if (it.key() == QLatin1String("h264")) {
                QVERIFY(TestFilm::MakePhoneFilm(file));
            } else if (it.key() == QLatin1String("hevc")) {
                QVERIFY(TestFilm::MakeMatroskaFilm(file));
            } else {
                QVERIFY2(TestSupport::MakeClip(file, 10, QStringLiteral("322x182"),
                                               it->codecArguments, it->framesPerSecond),
                         qPrintable(it.key()));
            }
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
            if (wantsVideo && FitsASize(params)) {
                // Pictures at another rate than the former cut's: the same ones, at the same times.
                QCOMPARE(video.times, before.First(QStringLiteral("video")).times);
            } else if (wantsVideo) {
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
        if (ExactCopy(params)) {
            // The range's pictures from the mark, each the source's picture or one that cannot
            // be told from it; the sound starts with the first one.
            const TestSupport::DecodedStream& whole = sourceVideo_.value(source);
            qsizetype inRange = 0;
            for (const double time : whole.times) {
                inRange += time >= MarkStart - frame / 2 && time < MarkStart + length - frame / 2;
            }
            QCOMPARE(video.hashes.size(), inRange);
            QVERIFY2(qAbs(audio.times.first() - video.times.first()) <= 1024.0 / 48000 + 0.001,
                     qPrintable(QStringLiteral("audio at %1, video at %2")
                                    .arg(audio.times.first())
                                    .arg(video.times.first())));
            return;
        }
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

    void everyFormatKeepsTheSourcesStreams_data() { everyFormatCutsTheMarkedRange_data(); }

    // Each cut of a film holds what the film has and its container can hold: both sound tracks
    // in order with their languages, the subtitles of the range in step (a cue across the mark
    // left out, one across the end cut there), the font, the telemetry, the chapters of the
    // range starting at 0, the title and creation time, a timecode that names the cut's first
    // picture, a phone's rotation kept by a copy or turned into the pictures by a re-encode, and
    // the range's length, which a timecode or telemetry track copied whole would stretch.
    void everyFormatKeepsTheSourcesStreams() {
        QFETCH(QString, params);
        QFETCH(QString, extension);
        QFETCH(QString, source);
        if (source == QLatin1String("vp9") || !keeps.contains(extension)) {
            QSKIP("a plain clip");
        }
        const Outcome& outcome = outcomes_[QTest::currentDataTag()];
        QVERIFY2(outcome.encoded, qPrintable(outcome.errors));
        const SourceFacts& cut = outcome.cut;
        QVERIFY(cut.known);
        const Keeps& kept = keeps[extension];
        const bool phone = source == QLatin1String("h264");
        const QStringList words = params.split(u' ');
        // A copy shows what it brings along from the key frame before the mark, except where an
        // edit list hides it; its video keeps the rotation.
        const bool copy = CopiesStreams(params) && !words.contains(QStringLiteral("-vn"));
        const QStringList editLists{"mp4", "m4v", "mov", "3gp", "3g2", "m4a"};
        const bool fromKeyFrame =
            CopiesStreams(params) && !ExactCopy(params) &&
            (params.contains(QStringLiteral("make_zero")) || !editLists.contains(extension));
        const double length = CopiesStreams(params) ? CopyLength : EncodeLength;
        // Where the cut's first picture lies in the film: the key frame of a copy, else the mark.
        const QList<double> keyFrames = keyFrames_.value(source);
        double first = MarkStart;
        if (fromKeyFrame) {
            for (const double time : keyFrames) {
                first = time <= MarkStart ? time : first;
            }
        }
        const double end = MarkStart + length;
        const SourceStream* video = cut.MainVideo();
        const double zero = video != nullptr ? video->startTime : 0.0;

        // Sound: both languages in order, or the default (English) one.
        const int sound = words.contains(QStringLiteral("-an")) ? 0 : kept.sound;
        const QList<SourceStream> tracks = cut.StreamsOf(QStringLiteral("audio"));
        QCOMPARE(tracks.size(), sound);
        const QStringList languages{"eng", "ger"};
        for (qsizetype i = 0; kept.languages && i < tracks.size(); ++i) {
            QCOMPARE(tracks.at(i).tags.value(QStringLiteral("language")), languages.at(i));
        }
        const bool soundOnly = words.contains(QStringLiteral("-vn"));

        // Subtitles: the tracks in order, the cues of the range where they belong.
        const QStringList subtitles = soundOnly ? QStringList{}
                                      : phone   ? kept.phoneSubtitles
                                                : kept.matroskaSubtitles;
        QStringList codecs;
        for (const SourceStream& stream : cut.StreamsOf(QStringLiteral("subtitle"))) {
            codecs.append(stream.codec);
        }
        QCOMPARE(codecs, subtitles);
        for (const SourceStream& stream : cut.StreamsOf(QStringLiteral("subtitle"))) {
            const bool text = stream.codec != QLatin1String("dvd_subtitle") &&
                              stream.codec != QLatin1String("hdmv_pgs_subtitle");
            QList<double> starts;
            for (const Packet& packet : PacketsOf(cut, stream.index)) {
                // An MP4 fills the time between cues with empty ones; picture subtitles clear.
                if ((stream.codec == QLatin1String("mov_text") && packet.size <= 2) ||
                    (stream.codec == QLatin1String("hdmv_pgs_subtitle") && packet.size < 100)) {
                    continue;
                }
                starts.append(packet.start - zero + first);
                if (text) {
                    QVERIFY2(packet.start + packet.duration - zero + first <= end + 0.06,
                             qPrintable(QStringLiteral("%1: a cue ends at %2")
                                            .arg(stream.codec)
                                            .arg(packet.start + packet.duration - zero + first)));
                }
            }
            QList<double> expected;
            for (const TestFilm::Cue& cue : TestFilm::Cues()) {
                if (cue.start >= MarkStart && cue.start < end) {
                    expected.append(cue.start);
                }
            }
            QCOMPARE(starts.size(), expected.size());
            for (qsizetype i = 0; i < starts.size(); ++i) {
                QVERIFY2(qAbs(starts.at(i) - expected.at(i)) <= 0.06,
                         qPrintable(QStringLiteral("%1: cue at %2 instead of %3")
                                        .arg(stream.codec)
                                        .arg(starts.at(i))
                                        .arg(expected.at(i))));
            }
        }
        QCOMPARE(cut.StreamsOf(QStringLiteral("attachment")).size(),
                 kept.font && !phone && !soundOnly ? 1 : 0);
        qsizetype telemetry = 0;
        for (const SourceStream& stream : cut.StreamsOf(QStringLiteral("data"))) {
            telemetry += stream.raw.value(QLatin1String("codec_tag_string")).toString() ==
                                 QLatin1String("gpmd")
                             ? 1
                             : 0;
        }
        QCOMPARE(telemetry, kept.telemetry && phone && !soundOnly ? 1 : 0);

        // Chapters: those of the range, from where the cut's first picture lies.
        QStringList titles;
        QStringList expectedTitles;
        QList<double> starts;
        QList<double> expectedStarts;
        for (const QJsonValue& value : cut.raw.value(QLatin1String("chapters")).toArray()) {
            const QJsonObject chapter = value.toObject();
            titles.append(chapter.value(QLatin1String("tags"))
                              .toObject()
                              .value(QLatin1String("title"))
                              .toString());
            starts.append(chapter.value(QLatin1String("start_time")).toString().toDouble());
        }
        for (const TestFilm::Chapter& chapter : TestFilm::Chapters()) {
            if (kept.chapters && chapter.end > first && chapter.start < end) {
                expectedTitles.append(QString::fromLatin1(chapter.title));
                expectedStarts.append(std::max(0.0, chapter.start - first));
            }
        }
        QCOMPARE(titles, expectedTitles);
        for (qsizetype i = 0; i < starts.size(); ++i) {
            QVERIFY2(qAbs(starts.at(i) - expectedStarts.at(i)) <= 0.1,
                     qPrintable(QString::number(starts.at(i))));
        }

        // The file's tags and the first picture's timecode.
        QCOMPARE(FileTag(cut, QStringLiteral("title")).isEmpty(), !kept.title);
        QCOMPARE(FileTag(cut, QStringLiteral("creation_time")).isEmpty(), !kept.creationTime);
        if (kept.creationTime) {
            QCOMPARE(FileTag(cut, QStringLiteral("creation_time")),
                     QString::fromLatin1(TestFilm::CreationTime));
        }
        const QString timecode = video != nullptr && !video->tags.value("timecode").isEmpty()
                                     ? video->tags.value(QStringLiteral("timecode"))
                                     : cut.tags.value(QStringLiteral("timecode"));
        if (phone && !soundOnly) {
            const QString named =
                QStringLiteral("01:00:%1:%2")
                    .arg(static_cast<int>(first), 2, 10, QLatin1Char('0'))
                    .arg(qRound((first - static_cast<int>(first)) * 25), 2, 10, QLatin1Char('0'));
            QVERIFY2(!kept.timecode || !timecode.isEmpty(), "no timecode");
            QVERIFY2(timecode.isEmpty() || timecode == named, qPrintable(timecode));
        }

        // A phone's portrait video stays upright: a copy keeps the turn where the container
        // holds it, a re-encode turns the pictures and keeps none, never both or neither.
        if (video != nullptr && phone) {
            if (copy) {
                QCOMPARE(video->rotation != 0, kept.rotation);
                QVERIFY(video->width > video->height);
                QCOMPARE(outcome.notice.contains(QStringLiteral("turned")), !kept.rotation);
            } else {
                QCOMPARE(video->rotation, 0.0);
                static const QRegularExpression fixedSize(QStringLiteral("scale=\\d+:\\d+"));
                if (!params.contains(fixedSize)) {
                    QVERIFY2(
                        video->height > video->width,
                        qPrintable(QStringLiteral("%1x%2").arg(video->width).arg(video->height)));
                }
            }
        }
        // The range's length (a copy's from its key frame); an AAC file's length is a guess.
        QVERIFY2(cut.formatName == QLatin1String("aac") || cut.duration <= end - first + 0.3,
                 qPrintable(QStringLiteral("%1 s long").arg(cut.duration)));
    }
};

QTEST_MAIN(tst_ShippedPresets)
#include "tst_ShippedPresets.moc"
