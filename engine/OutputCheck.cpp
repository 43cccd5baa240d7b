#include "engine/OutputCheck.h"

#include "engine/CommandLine.h"
#include "engine/EncoderWording.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace OutputCheck {
namespace {

// The lines of a console output; progress lines end with a carriage return.
QStringList Lines(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("[\r\n]"));
    return text.split(breaks, Qt::SkipEmptyParts);
}

// "  Stream #0:1(und): Audio: aac ..." gives "Audio".
QString StreamKind(const QString& line) {
    static const QRegularExpression stream(
        QStringLiteral("^\\s+Stream #\\d+:\\d+\\S*: (Video|Audio|Subtitle|Data|Attachment):"));
    const QRegularExpressionMatch match = stream.match(line);
    return match.hasMatch() ? match.captured(1) : QString();
}

// The streams listed in the section that starts with a line beginning with `heading` and ends
// at the next line that is not indented.
Streams StreamsUnder(const QString& text, const QString& heading) {
    Streams streams;
    bool inside = false;
    for (const QString& line : Lines(text)) {
        if (line.startsWith(heading)) {
            inside = true;
            continue;
        }
        if (!inside) {
            continue;
        }
        if (!line.startsWith(QLatin1Char(' '))) {
            break;
        }
        const QString kind = StreamKind(line);
        streams.video += kind == QLatin1String("Video") ? 1 : 0;
        streams.audio += kind == QLatin1String("Audio") ? 1 : 0;
        streams.subtitle += kind == QLatin1String("Subtitle") ? 1 : 0;
        streams.attachment += kind == QLatin1String("Attachment") ? 1 : 0;
        streams.data += kind == QLatin1String("Data") ? 1 : 0;
    }
    return streams;
}

// One picture's duration in the first video stream of the section: from its "25 fps", else
// its "25 tbr".
double PictureSeconds(const QString& text, const QString& heading) {
    static const QRegularExpression rate(
        QStringLiteral(R"(^\s+Stream #\d+:\d+\S*: Video: .*?, (\d+(?:\.\d+)?)(k?) (fps|tbr))"));
    bool inside = false;
    for (const QString& line : Lines(text)) {
        if (line.startsWith(heading)) {
            inside = true;
            continue;
        }
        if (!inside) {
            continue;
        }
        if (!line.startsWith(QLatin1Char(' '))) {
            break;
        }
        const QRegularExpressionMatch match = rate.match(line);
        if (match.hasMatch()) {
            const double perSecond =
                match.captured(1).toDouble() * (match.captured(2).isEmpty() ? 1 : 1000);
            return perSecond > 0 ? std::min(1.0 / perSecond, 10.0) : 0;
        }
    }
    return 0;
}

// "  Duration: 00:00:05.00, start: 0.000000, bitrate: 12 kb/s" under the heading; 0 when it
// says N/A or is missing.
double ContainerSeconds(const QString& text, const QString& heading) {
    static const QRegularExpression duration(QStringLiteral("^\\s+Duration: ([0-9:.]+),"));
    bool inside = false;
    for (const QString& line : Lines(text)) {
        if (line.startsWith(heading)) {
            inside = true;
            continue;
        }
        if (inside && !line.startsWith(QLatin1Char(' '))) {
            break;
        }
        const QRegularExpressionMatch match = duration.match(line);
        if (inside && match.hasMatch()) {
            return EncoderWording::ProgressTimeSeconds(match.captured(1)).value_or(0);
        }
    }
    return 0;
}

// "5", "1.7": seconds with at most one decimal.
QString SecondsText(double seconds) {
    QString text = QString::number(seconds, 'f', 1);
    if (text.endsWith(QLatin1String(".0"))) {
        text.chop(2);
    }
    return text;
}

// "The output holds 1 of the 2 sound tracks." when tracks of a kind went missing.
QString MissingTracks(int found, int announced, const char* kind) {
    return QStringLiteral("The output holds %1 of the %2 %3 tracks.")
        .arg(found)
        .arg(announced)
        .arg(QLatin1String(kind));
}

} // namespace

Streams AnnouncedStreams(const QString& encoderOutputs) {
    Streams streams = StreamsUnder(encoderOutputs, QStringLiteral("Output #0"));
    static const QRegularExpression rawFormat(QStringLiteral("^Output #0, rawvideo, "),
                                              QRegularExpression::MultilineOption);
    // "  Stream #0:0: Video: rawvideo (I420 / 0x30323449), yuv420p(tv, progressive), 322x182
    // [SAR 1:1 DAR 23:13], q=2-31, 17581 kb/s, 25 fps, 25 tbn"
    static const QRegularExpression rawStream(QStringLiteral(
        R"(Video: rawvideo(?: \([^)]*\))?, (\w+)(?:\([^)]*\))?, (\d+x\d+)[ ,].*?, ([\d.]+) fps)"));
    if (rawFormat.match(encoderOutputs).hasMatch()) {
        const QRegularExpressionMatch match = rawStream.match(encoderOutputs);
        if (match.hasMatch()) {
            streams.rawPictures =
                QStringLiteral("-f rawvideo -pix_fmt %1 -video_size %2 -framerate %3")
                    .arg(match.captured(1), match.captured(2), match.captured(3));
        }
    }
    return streams;
}

QString ReadingCommand(const QString& outputFile, const Streams& announced) {
    QString command = EncoderWording::EncoderCommand() + QStringLiteral(" -hide_banner -nostdin ");
    if (!announced.rawPictures.isEmpty()) {
        command += announced.rawPictures + QLatin1Char(' ');
    }
    return command + QStringLiteral("-i ") + CommandLine::QuoteArgument(outputFile) +
           QStringLiteral(" -map 0 -c copy -f null -");
}

Facts ReadFacts(const QString& readingOutputs, bool exitedCleanly) {
    Facts facts;
    const QString heading = QStringLiteral("Input #0");
    facts.streams = StreamsUnder(readingOutputs, heading);
    facts.readable = exitedCleanly && (facts.streams.video > 0 || facts.streams.audio > 0);
    facts.pictureSeconds = facts.streams.video > 0 ? PictureSeconds(readingOutputs, heading) : 0;
    // The last progress line is the summary: "frame=  127 ... time=00:00:05.20 ...". Its frame
    // count is the first video stream's packets; its time is where the last packet starts.
    static const QRegularExpression frames(QStringLiteral("frame=\\s*(\\d+)"));
    double lastPacket = 0;
    for (const QString& line : Lines(readingOutputs)) {
        QString time;
        if (!EncoderWording::FindProgressTime(line, &time)) {
            continue;
        }
        lastPacket = EncoderWording::ProgressTimeSeconds(time).value_or(lastPacket);
        const QRegularExpressionMatch match = frames.match(line);
        facts.pictures = match.hasMatch() ? match.captured(1).toLongLong() : 0;
    }
    facts.seconds = std::max(ContainerSeconds(readingOutputs, heading),
                             lastPacket > 0 ? lastPacket + facts.pictureSeconds : 0.0);
    return facts;
}

QString NoPicture() {
    return QStringLiteral("The output has no picture.");
}

QString Megabytes(qint64 bytes, int decimals) {
    QString text = QString::number(static_cast<double>(bytes) / 1e6, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0'))) {
            text.chop(1);
        }
        if (text.endsWith(QLatin1Char('.'))) {
            text.chop(1);
        }
    }
    return text + QStringLiteral(" MB");
}

QString Problem(const Streams& announced, const Facts& facts, const Expectation& expect) {
    if (!facts.readable) {
        return QStringLiteral("The output cannot be read: it is empty or damaged.");
    }
    const Streams& found = facts.streams;
    if (announced.video > 0 && (found.video == 0 || facts.pictures == 0)) {
        return NoPicture();
    }
    if (announced.audio > 0 && found.audio == 0) {
        return QStringLiteral("The output has no sound.");
    }
    if (found.video < announced.video) {
        return MissingTracks(found.video, announced.video, "video");
    }
    if (found.audio < announced.audio) {
        return MissingTracks(found.audio, announced.audio, "sound");
    }
    if (found.subtitle < announced.subtitle) {
        return MissingTracks(found.subtitle, announced.subtitle, "subtitle");
    }
    // A container may add data tracks of its own (an MP4's chapters and timecode), never fewer.
    if (found.attachment < announced.attachment) {
        return MissingTracks(found.attachment, announced.attachment, "attachment");
    }
    if (found.data < announced.data) {
        return MissingTracks(found.data, announced.data, "data");
    }
    // Marks are whole seconds of a duration rounded to whole seconds, so the end mark may lie
    // up to half a second past the input's end; a frame or two more is the muxer's rounding,
    // and a file's last picture may be counted to its start rather than its end.
    const double tolerance = std::max(0.75, expect.seconds * 0.02) + facts.pictureSeconds;
    if (expect.seconds > 0 && facts.seconds < expect.seconds - tolerance) {
        return QStringLiteral("The output is %1 s long instead of %2 s: the input ends early or "
                              "is damaged.")
            .arg(SecondsText(facts.seconds), SecondsText(expect.seconds));
    }
    if (expect.maxBytes > 0 && facts.bytes > expect.maxBytes) {
        // As many decimals as it takes to tell the two apart: "25.0004 MB" is over "25 MB".
        QString size;
        QString target;
        for (int decimals = 1; decimals <= 6 && size == target; ++decimals) {
            size = Megabytes(facts.bytes, decimals);
            target = Megabytes(expect.maxBytes, decimals);
        }
        return QStringLiteral("The output is %1, more than the target of %2.").arg(size, target);
    }
    return {};
}

} // namespace OutputCheck
