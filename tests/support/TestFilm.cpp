#include "tests/support/TestFilm.h"

#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <cmath>

namespace TestFilm {
namespace {

QList<Cue> AllCues() {
    return {
        {3.0, 4.0, "Before the mark"}, {4.9, 5.06, "Across the mark"},      {5.08, 5.14, "Inside"},
        {5.16, 5.6, "Across the end"}, {6.8, 7.4, "Across the copy's end"}, {9.0, 10.0, "After"},
        {11.0, 11.5, "Last"}};
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray Time(double seconds, const char* fraction) {
    const int milliseconds = static_cast<int>(std::lround(seconds * 1000));
    return QStringLiteral("%1:%2:%3%4%5")
        .arg(milliseconds / 3600000, 2, 10, QLatin1Char('0'))
        .arg(milliseconds / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(milliseconds / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(fraction))
        .arg(milliseconds % 1000, 3, 10, QLatin1Char('0'))
        .toLatin1();
}

QByteArray SubRip() {
    QByteArray text;
    int number = 1;
    for (const Cue& cue : AllCues()) {
        text += QByteArray::number(number++) + "\n" + Time(cue.start, ",") + " --> " +
                Time(cue.end, ",") + "\n" + cue.text + "\n\n";
    }
    return text;
}

QByteArray Ass() {
    QByteArray text = "[Script Info]\nScriptType: v4.00+\nPlayResX: 322\nPlayResY: 182\n\n"
                      "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, Bold, "
                      "Italic, Alignment, MarginL, MarginR, MarginV\n"
                      "Style: Default,DejaVu Sans,16,&H00FFFFFF,0,0,2,10,10,10\n\n"
                      "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, "
                      "MarginV, Effect, Text\n";
    for (const Cue& cue : AllCues()) {
        // ASS counts hundredths: "0:00:05.08".
        const QByteArray start = Time(cue.start, ".").mid(1).chopped(1);
        const QByteArray end = Time(cue.end, ".").mid(1).chopped(1);
        text += "Dialogue: 0," + start + "," + end + ",Default,,0,0,0,," + cue.text + "\n";
    }
    return text;
}

// The film's tags and chapters as an ffmetadata file.
QByteArray Metadata() {
    QByteArray text = QByteArray(";FFMETADATA1\ntitle=") + Title +
                      "\ncreation_time=" + CreationTime +
                      "\nartist=Quenlet tests\ncomment=a comment\n";
    for (const Chapter& chapter : Chapters()) {
        text += "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" +
                QByteArray::number(std::lround(chapter.start * 1000)) +
                "\nEND=" + QByteArray::number(std::lround(chapter.end * 1000)) +
                "\ntitle=" + chapter.title + "\n";
    }
    return text;
}

void Put16(QByteArray* bytes, int value) {
    bytes->append(static_cast<char>((value >> 8) & 0xff));
    bytes->append(static_cast<char>(value & 0xff));
}

void Put32(QByteArray* bytes, quint32 value) {
    Put16(bytes, static_cast<int>(value >> 16));
    Put16(bytes, static_cast<int>(value & 0xffff));
}

// One segment of a PGS stream ("PG", times in 90 kHz units, type, size, payload).
QByteArray Segment(double seconds, int type, const QByteArray& payload) {
    QByteArray segment("PG");
    const auto time = static_cast<quint32>(std::lround(seconds * 90000));
    Put32(&segment, time);
    Put32(&segment, time);
    segment.append(static_cast<char>(type));
    Put16(&segment, static_cast<int>(payload.size()));
    return segment + payload;
}

// A PGS stream (what a Blu-ray's subtitles are) with a 64x16 box for each cue: a display set
// that shows it at the cue's start and one that clears it at its end.
QByteArray Pgs(int width, int height) {
    const auto composition = [&](int number, bool show) {
        QByteArray payload;
        Put16(&payload, width);
        Put16(&payload, height);
        payload.append('\x10');
        Put16(&payload, number);
        payload.append(show ? '\x80' : '\x00');
        payload.append('\x00');
        payload.append('\x00');
        payload.append(show ? '\x01' : '\x00');
        if (show) {
            Put16(&payload, 0);
            payload.append('\x00');
            payload.append('\x00');
            Put16(&payload, 20);
            Put16(&payload, height - 30);
        }
        return payload;
    };
    QByteArray window("\x01\x00", 2);
    Put16(&window, 20);
    Put16(&window, height - 30);
    Put16(&window, 64);
    Put16(&window, 16);
    const QByteArray palette("\x00\x00\x01\xeb\x80\x80\xff", 7);
    QByteArray picture;
    Put16(&picture, 64);
    Put16(&picture, 16);
    for (int line = 0; line < 16; ++line) {
        picture.append("\x00\xc0\x40\x01\x00\x00", 6); // 64 pixels of colour 1, end of line
    }
    QByteArray object("\x00\x00\x00\xc0", 4);
    object.append(static_cast<char>((picture.size() >> 16) & 0xff));
    Put16(&object, static_cast<int>(picture.size() & 0xffff));
    object += picture;

    // An empty display set at 0 s, so that the stream starts with the film.
    QByteArray stream =
        Segment(0, 0x16, composition(0, false)) + Segment(0, 0x17, window) + Segment(0, 0x80, {});
    int number = 1;
    for (const Cue& cue : AllCues()) {
        stream += Segment(cue.start, 0x16, composition(number++, true)) +
                  Segment(cue.start, 0x17, window) + Segment(cue.start, 0x14, palette) +
                  Segment(cue.start, 0x15, object) + Segment(cue.start, 0x80, {});
        stream += Segment(cue.end, 0x16, composition(number++, false)) +
                  Segment(cue.end, 0x17, window) + Segment(cue.end, 0x80, {});
    }
    return stream;
}

// A track of one-second samples: the chapter track an MP4 gets for chapters one second long,
// which is copied as a camera's telemetry ("gpmd") later. It starts a second early, as the
// reader keeps its first sample for the chapter's name.
QByteArray SecondChapters() {
    QByteArray text(";FFMETADATA1\n");
    for (int second = 0; second < 13; ++second) {
        text += "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" + QByteArray::number(second * 1000) +
                "\nEND=" + QByteArray::number(second * 1000 + 1000) + "\ntitle=GPMF" +
                QByteArray::number(second) + "\n";
    }
    return text;
}

QString Sine(int frequency, int seconds) {
    return QStringLiteral("sine=frequency=%1:sample_rate=44100:duration=%2")
        .arg(frequency)
        .arg(seconds);
}

} // namespace

QList<Cue> Cues() {
    return AllCues();
}

QList<Chapter> Chapters() {
    return {{0, 5.1, "Opening"}, {5.1, 6.5, "Middle"}, {6.5, 12, "End"}};
}

bool MakePhoneFilm(const QString& path) {
    QTemporaryDir folder;
    const QDir dir(folder.path());
    if (!folder.isValid() || !Write(dir.filePath(QStringLiteral("subs.srt")), SubRip()) ||
        !Write(dir.filePath(QStringLiteral("subs.sup")), Pgs(322, 262)) ||
        !Write(dir.filePath(QStringLiteral("meta.txt")), Metadata()) ||
        !Write(dir.filePath(QStringLiteral("seconds.txt")), SecondChapters())) {
        return false;
    }
    // DVD subtitles from the PGS ones: picture to picture is the one way the encoder makes them;
    // without -fix_sub_duration every picture would be shown for ever.
    const QString dvd = dir.filePath(QStringLiteral("dvd.mkv"));
    const QString plain = dir.filePath(QStringLiteral("plain.mp4"));
    const QString seconds = dir.filePath(QStringLiteral("seconds.mp4"));
    return TestSupport::RunFfmpeg(
               {"-fix_sub_duration", "-i", dir.filePath("subs.sup"), "-c:s", "dvdsub", dvd}) &&
           TestSupport::RunFfmpeg({"-f",
                                   "lavfi",
                                   "-i",
                                   "testsrc=size=322x262:rate=25:duration=12",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   Sine(440, 12),
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   Sine(660, 12),
                                   "-i",
                                   dir.filePath("subs.srt"),
                                   "-i",
                                   dvd,
                                   "-i",
                                   dir.filePath("meta.txt"),
                                   "-map",
                                   "0:v",
                                   "-map",
                                   "1:a",
                                   "-map",
                                   "2:a",
                                   "-map",
                                   "3:s",
                                   "-map",
                                   "4:s",
                                   "-map_metadata",
                                   "5",
                                   "-map_chapters",
                                   "5",
                                   "-c:v",
                                   "libx264",
                                   "-pix_fmt",
                                   "yuv420p",
                                   "-color_primaries",
                                   "bt709",
                                   "-color_trc",
                                   "bt709",
                                   "-colorspace",
                                   "bt709",
                                   "-color_range",
                                   "tv",
                                   "-c:a",
                                   "aac",
                                   "-c:s:0",
                                   "mov_text",
                                   "-c:s:1",
                                   "copy",
                                   "-metadata:s:a:0",
                                   "language=eng",
                                   "-metadata:s:a:0",
                                   "handler_name=English",
                                   "-metadata:s:a:1",
                                   "language=ger",
                                   "-metadata:s:a:1",
                                   "handler_name=Deutsch",
                                   "-metadata:s:s:0",
                                   "language=eng",
                                   "-metadata:s:s:1",
                                   "language=ger",
                                   "-disposition:a:0",
                                   "default",
                                   "-disposition:a:1",
                                   "0",
                                   "-disposition:s:1",
                                   "forced",
                                   plain}) &&
           TestSupport::RunFfmpeg({"-f", "lavfi", "-i", "color=size=16x16:rate=1:duration=13", "-i",
                                   dir.filePath("seconds.txt"), "-map", "0", "-map_chapters", "1",
                                   "-c:v", "libx264", seconds}) &&
           // A copy turns the rotate tag into a display matrix, as a phone writes it.
           TestSupport::RunFfmpeg({"-i",
                                   plain,
                                   "-itsoffset",
                                   "-1",
                                   "-i",
                                   seconds,
                                   "-map",
                                   "0:v",
                                   "-map",
                                   "0:a",
                                   "-map",
                                   "0:s",
                                   "-map",
                                   "1:d",
                                   "-map_metadata",
                                   "0",
                                   "-map_chapters",
                                   "0",
                                   "-c",
                                   "copy",
                                   "-tag:d",
                                   "gpmd",
                                   "-metadata:s:d:0",
                                   "handler_name=GoPro MET",
                                   "-metadata:s:v:0",
                                   "rotate=90",
                                   "-timecode",
                                   Timecode,
                                   "-t",
                                   "12",
                                   path});
}

bool MakeMatroskaFilm(const QString& path) {
    QTemporaryDir folder;
    const QDir dir(folder.path());
    if (!folder.isValid() || !Write(dir.filePath(QStringLiteral("subs.srt")), SubRip()) ||
        !Write(dir.filePath(QStringLiteral("subs.ass")), Ass()) ||
        !Write(dir.filePath(QStringLiteral("subs.sup")), Pgs(322, 182)) ||
        !Write(dir.filePath(QStringLiteral("meta.txt")), Metadata()) ||
        !Write(dir.filePath(QStringLiteral("font.ttf")), "not a font, only its bytes\n")) {
        return false;
    }
    return TestSupport::RunFfmpeg({"-f",
                                   "lavfi",
                                   "-i",
                                   "testsrc=size=322x182:rate=30:duration=10",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   Sine(440, 10),
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   Sine(660, 10),
                                   "-i",
                                   dir.filePath("subs.srt"),
                                   "-i",
                                   dir.filePath("subs.ass"),
                                   "-i",
                                   dir.filePath("subs.sup"),
                                   "-i",
                                   dir.filePath("meta.txt"),
                                   "-attach",
                                   dir.filePath("font.ttf"),
                                   "-metadata:s:t:0",
                                   "mimetype=application/x-truetype-font",
                                   "-map",
                                   "0:v",
                                   "-map",
                                   "1:a",
                                   "-map",
                                   "2:a",
                                   "-map",
                                   "3:s",
                                   "-map",
                                   "4:s",
                                   "-map",
                                   "5:s",
                                   "-map_metadata",
                                   "6",
                                   "-map_chapters",
                                   "6",
                                   "-c:v",
                                   "libx265",
                                   "-preset",
                                   "ultrafast",
                                   "-x265-params",
                                   "log-level=error",
                                   "-pix_fmt",
                                   "yuv420p",
                                   "-c:a",
                                   "aac",
                                   "-c:s",
                                   "copy",
                                   "-metadata:s:a:0",
                                   "language=eng",
                                   "-metadata:s:a:0",
                                   "title=English",
                                   "-metadata:s:a:1",
                                   "language=ger",
                                   "-metadata:s:a:1",
                                   "title=Deutsch",
                                   "-metadata:s:s:0",
                                   "language=eng",
                                   "-metadata:s:s:1",
                                   "language=fre",
                                   "-metadata:s:s:1",
                                   "title=Fran\u00e7ais",
                                   "-metadata:s:s:2",
                                   "language=ger",
                                   "-disposition:a:1",
                                   "0",
                                   "-disposition:s:0",
                                   "default",
                                   "-disposition:s:1",
                                   "0",
                                   "-disposition:s:2",
                                   "forced",
                                   path});
}

bool MakeHdrClip(const QString& path) {
    return TestSupport::RunFfmpeg(
        {"-f",
         "lavfi",
         "-i",
         "testsrc2=size=320x180:rate=25:duration=4",
         "-f",
         "lavfi",
         "-i",
         Sine(440, 4),
         "-c:v",
         "libx265",
         "-preset",
         "ultrafast",
         "-pix_fmt",
         "yuv420p10le",
         "-color_primaries",
         "bt2020",
         "-color_trc",
         "smpte2084",
         "-colorspace",
         "bt2020nc",
         "-color_range",
         "tv",
         "-x265-params",
         "log-level=error:hdr10=1:repeat-headers=1:master-display=G(13250,34500)B(7500,3000)"
         "R(34000,16000)WP(15635,16450)L(10000000,1):max-cll=1000,400",
         "-c:a",
         "aac",
         path});
}

} // namespace TestFilm
