// What a cut keeps of its source, decided from the prober's facts: the choices that need no
// encoder to be seen (the real outputs are checked for every preset by tst_ShippedPresets).
#include "engine/StreamSelection.h"
#include "engine/Timecode.h"

#include <QTest>

namespace {

// A phone's film as the prober describes it: a turned H.264 video with a timecode, English
// (default) and German sound, English text and German picture subtitles, a cover picture,
// GoPro telemetry, an MP4 timecode track, a font, and three chapters.
const char* const Film = R"({
  "streams": [
    {"index": 0, "codec_type": "video", "codec_name": "png", "disposition": {"attached_pic": 1}},
    {"index": 1, "codec_type": "video", "codec_name": "h264", "pix_fmt": "yuv420p",
     "r_frame_rate": "25/1", "disposition": {"default": 1},
     "tags": {"timecode": "01:00:00:00"}, "side_data_list": [{"rotation": -90}]},
    {"index": 2, "codec_type": "audio", "codec_name": "aac", "disposition": {"default": 1},
     "tags": {"language": "eng", "title": "English"}},
    {"index": 3, "codec_type": "audio", "codec_name": "pcm_s16le", "disposition": {"default": 0},
     "tags": {"language": "ger", "title": "Deutsch"}},
    {"index": 4, "codec_type": "subtitle", "codec_name": "mov_text", "tags": {"language": "eng"}},
    {"index": 5, "codec_type": "subtitle", "codec_name": "dvd_subtitle",
     "disposition": {"forced": 1}, "tags": {"language": "ger"}},
    {"index": 6, "codec_type": "data", "codec_name": "bin_data", "codec_tag_string": "gpmd"},
    {"index": 7, "codec_type": "data", "codec_tag_string": "tmcd"},
    {"index": 8, "codec_type": "attachment", "codec_name": "ttf"}
  ],
  "chapters": [
    {"start_time": "0.000000", "end_time": "5.100000", "tags": {"title": "Opening"}},
    {"start_time": "5.100000", "end_time": "6.500000", "tags": {"title": "Mid=dle; #2"}},
    {"start_time": "6.500000", "end_time": "12.000000", "tags": {"title": "End"}}
  ],
  "format": {"format_name": "mov,mp4,m4a,3gp,3g2,mj2", "duration": "12.000000",
             "start_time": "0.000000", "tags": {"title": "Film"}}
})";

SourceFacts FilmFacts() {
    return SourceFacts::Parse(QString::fromLatin1(Film));
}

StreamSelection::Findings Range(double start, double length, double first) {
    StreamSelection::Findings findings;
    findings.start = start;
    findings.length = length;
    findings.first = first;
    findings.cuesKnown = true;
    findings.subtitlesWithCues = {4, 5};
    return findings;
}

// The source streams a choice maps, as "0:N" (and "1:N" for the subtitle piece's).
QStringList Maps(const QStringList& options) {
    QStringList maps;
    for (qsizetype i = 0; i + 1 < options.size(); ++i) {
        if (options.at(i) == QLatin1String("-map")) {
            maps.append(options.at(i + 1));
        }
    }
    return maps;
}

// The value after the last `option`, or empty.
QString ValueOf(const QStringList& options, const QString& option) {
    const qsizetype at = options.lastIndexOf(option);
    return at >= 0 && at + 1 < options.size() ? options.at(at + 1) : QString();
}

} // namespace

class tst_StreamSelection : public QObject {
    Q_OBJECT

private slots:
    void timecodeNamesTheFirstPicture_data() {
        QTest::addColumn<QString>("timecode");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("moved");
        QTest::newRow("25 fps") << "01:00:00:00" << 5.0 << 25.0 << "01:00:05:00";
        QTest::newRow("frames") << "10:00:59:20" << 0.4 << 25.0 << "10:01:00:05";
        QTest::newRow("past midnight") << "23:59:59:24" << 0.04 << 25.0 << "00:00:00:00";
        const double ntsc = 30000.0 / 1001;
        // Drop frame: 00:01:00;00 and ;01 do not exist, every tenth minute keeps them.
        QTest::newRow("drop frame, into a minute")
            << "00:00:59;29" << 1 / ntsc << ntsc << "00:01:00;02";
        QTest::newRow("drop frame, ten minutes")
            << "00:00:00;00" << 17982 / ntsc << ntsc << "00:10:00;00";
        QTest::newRow("59.94 drop frame, an hour")
            << "00:00:00;00" << 3600.0 << 60000.0 / 1001 << "01:00:00;00";
        QTest::newRow("not a timecode") << "1:00" << 5.0 << 25.0 << "";
        QTest::newRow("no rate") << "01:00:00:00" << 5.0 << 0.0 << "";
    }
    void timecodeNamesTheFirstPicture() {
        QFETCH(QString, timecode);
        QFETCH(double, seconds);
        QFETCH(double, rate);
        QFETCH(QString, moved);
        QCOMPARE(Timecode::Moved(timecode, seconds, rate).value_or(QString()), moved);
    }

    // The chapters of the range: cut to it, from where its first picture lies, the first at 0,
    // their titles escaped for the metadata file.
    void chaptersOfTheRange_data() {
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("end");
        QTest::addColumn<QString>("chapters");
        QTest::newRow("re-encoded") << 5.0 << 5.2
                                    << "START=0\nEND=100\ntitle=Opening\n"
                                       "START=100\nEND=200\ntitle=Mid\\=dle\\; \\#2\n";
        QTest::newRow("copy from its key frame")
            << 0.0 << 7.0
            << "START=0\nEND=5100\ntitle=Opening\nSTART=5100\nEND=6500\ntitle=Mid\\=dle\\; "
               "\\#2\nSTART=6500\nEND=7000\ntitle=End\n";
        QTest::newRow("inside one") << 7.0 << 8.0 << "START=0\nEND=1000\ntitle=End\n";
        QTest::newRow("ending on a boundary") << 4.0 << 5.1 << "START=0\nEND=1100\ntitle=Opening\n";
        QTest::newRow("after the last") << 12.0 << 13.0 << "";
    }
    void chaptersOfTheRange() {
        QFETCH(double, first);
        QFETCH(double, end);
        QFETCH(QString, chapters);
        QString text = StreamSelection::ChapterText(FilmFacts(), first, end);
        text.remove(QStringLiteral(";FFMETADATA1\n"));
        text.remove(QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\n"));
        QCOMPARE(text, chapters);
    }

    // The streams each kind of cut maps, and what it tells.
    void streamsOfACut_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QStringList>("maps");
        QTest::addColumn<QString>("told"); // a word of the notes, or empty for none
        // The cover is no video; the PCM track needs no copy here; the subtitles come from
        // their piece (input 1), the tmcd track never.
        QTest::newRow("re-encoded MP4")
            << "mp4"
            << "-c:v libx264 -c:a aac" << QStringList{"0:1", "0:2", "0:3", "1:0", "1:1", "0:6"}
            << "";
        QTest::newRow("copy into MP4: PCM stays out")
            << "mp4"
            << "-c copy" << QStringList{"0:1", "0:2", "1:0", "1:1", "0:6"} << "pcm_s16le";
        QTest::newRow("Matroska: text as SubRip, the font, no telemetry")
            << "mkv"
            << "-c:v libx264 -c:a aac" << QStringList{"0:1", "0:2", "0:3", "1:0", "1:1", "0:8"}
            << "";
        QTest::newRow("copy into Matroska: the turn is lost")
            << "mkv"
            << "-c copy" << QStringList{"0:1", "0:2", "0:3", "1:0", "1:1", "0:8"} << "turned";
        QTest::newRow("WebM: text as WebVTT only")
            << "webm"
            << "-c:v libvpx-vp9 -c:a libopus" << QStringList{"0:1", "0:2", "0:3", "1:0"} << "";
        QTest::newRow("MPEG: picture subtitles only")
            << "mpg"
            << "-c:v mpeg2video -c:a mp2" << QStringList{"0:1", "0:2", "0:3", "1:0"} << "";
        QTest::newRow("FLV: the default sound track")
            << "flv"
            << "-c:v libx264 -c:a aac" << QStringList{"0:1", "0:2"} << "one sound";
        QTest::newRow("sound only") << "mp3"
                                    << "-vn -c:a libmp3lame" << QStringList{"0:2"} << "one sound";
        QTest::newRow("no sound") << "mp4"
                                  << "-c:v copy -an" << QStringList{"0:1", "1:0", "1:1", "0:6"}
                                  << "";
        QTest::newRow("pictures only") << "gif"
                                       << "-an -vf fps=12" << QStringList{"0:1"} << "";
        QTest::newRow("the format's own maps")
            << "mkv"
            << "-map 0:v -map 0:a:1 -c copy" << QStringList{} << "turned";
        QTest::newRow("no subtitles asked")
            << "mkv"
            << "-c:v libx264 -sn" << QStringList{"0:1", "0:2", "0:3", "0:8"} << "";
    }
    void streamsOfACut() {
        QFETCH(QString, extension);
        QFETCH(QString, options);
        QFETCH(QStringList, maps);
        QFETCH(QString, told);
        const QStringList format = options.split(u' ');
        const StreamSelection::Choice choice = StreamSelection::Choose(
            FilmFacts(), QStringLiteral("/in/film.mp4"), extension, format,
            Range(5, 2, StreamSelection::Copies(format, QLatin1Char('v')) ? 0 : 5),
            QStringLiteral("/work/subtitles"));
        QCOMPARE(Maps(choice.options), maps);
        const QString notes = choice.notes.join(u'\n');
        QVERIFY2(told.isEmpty() ? notes.isEmpty() : notes.contains(told), qPrintable(notes));
        // The file's tags always, its creation time included; chapters where they fit.
        QCOMPARE(ValueOf(choice.options, QStringLiteral("-map_metadata")), QStringLiteral("0"));
        const bool chapters = extension != QLatin1String("flv") &&
                              extension != QLatin1String("mpg") &&
                              extension != QLatin1String("gif");
        QCOMPARE(ValueOf(choice.options, QStringLiteral("-map_chapters")) != QLatin1String("-1"),
                 chapters);
        // The subtitle piece holds the range's cues in the container's formats.
        const bool piece = maps.contains(QStringLiteral("1:0"));
        QCOMPARE(choice.pieceArguments.isEmpty(), !piece);
        QCOMPARE(choice.inputs.contains(choice.piece), piece);
        if (extension == QLatin1String("mkv") && piece) {
            QCOMPARE(ValueOf(choice.pieceArguments, QStringLiteral("-c:s:0")),
                     QStringLiteral("srt"));
            QCOMPARE(ValueOf(choice.pieceArguments, QStringLiteral("-c:s:1")),
                     QStringLiteral("copy"));
            QCOMPARE(ValueOf(choice.options, QStringLiteral("-disposition:s:1")),
                     QStringLiteral("forced"));
        }
        // The timecode names the first picture: the key frame of a copy, else the mark.
        if (!format.contains(QStringLiteral("-vn"))) {
            QCOMPARE(ValueOf(choice.options, QStringLiteral("-timecode")),
                     StreamSelection::Copies(format, QLatin1Char('v'))
                         ? QStringLiteral("01:00:00:00")
                         : QStringLiteral("01:00:05:00"));
        }
    }

    // Without the prober's facts a copy keeps what copies kept before, the first video and the
    // sound; a re-encode gets the format's options as they are.
    void unknownSourceKeepsPicturesAndSound() {
        const StreamSelection::Choice choice = StreamSelection::Choose(
            SourceFacts(), QStringLiteral("/in/x.avi"), QStringLiteral("mp4"),
            {QStringLiteral("-c"), QStringLiteral("copy")}, Range(5, 2, 5),
            QStringLiteral("/work/subtitles"));
        QCOMPARE(Maps(choice.options), (QStringList{"0:v:0?", "0:a?"}));
        QVERIFY(choice.pieceArguments.isEmpty());
        QCOMPARE(StreamSelection::Choose(SourceFacts(), QStringLiteral("/in/x.avi"),
                                         QStringLiteral("mp4"), {QStringLiteral("-an")},
                                         Range(5, 2, 5), QStringLiteral("/work/subtitles"))
                     .options,
                 QStringList{});
    }

    // An HDR source written with 8 bits is told, by what the encoder announced it writes.
    void eightBitHdrIsTold_data() {
        QTest::addColumn<QString>("transfer");
        QTest::addColumn<QString>("written");
        QTest::addColumn<bool>("told");
        QTest::newRow("PQ in 8 bits") << "smpte2084"
                                      << "yuv420p(tv, bt2020nc/bt2020/smpte2084)" << true;
        QTest::newRow("HLG in 8 bits") << "arib-std-b67"
                                       << "yuvj420p(pc)" << true;
        QTest::newRow("PQ in 10 bits") << "smpte2084"
                                       << "yuv420p10le(tv)" << false;
        QTest::newRow("SDR in 8 bits") << "bt709"
                                       << "yuv420p(tv)" << false;
    }
    void eightBitHdrIsTold() {
        QFETCH(QString, transfer);
        QFETCH(QString, written);
        QFETCH(bool, told);
        const SourceFacts facts = SourceFacts::Parse(
            QStringLiteral(R"({"streams": [{"index": 0, "codec_type": "video", "codec_name": "hevc",
            "pix_fmt": "yuv420p10le", "color_transfer": "%1"}], "format": {"format_name": "mp4"}})")
                .arg(transfer));
        const QString outputs =
            QStringLiteral("Input #0, mov,mp4, from 'in.mp4':\n  Stream #0:0(und): Video: hevc "
                           "(Main 10), yuv420p10le(tv), 320x180\nOutput #0, mp4, to 'out.mp4':\n"
                           "  Stream #0:0(und): Video: h264 (avc1 / 0x31637661), %1, 320x180, "
                           "q=2-31, 25 fps\nStream mapping:\n")
                .arg(written);
        QCOMPARE(!StreamSelection::AfterCut(facts, outputs).isEmpty(), told);
    }
};

QTEST_MAIN(tst_StreamSelection)
#include "tst_StreamSelection.moc"
