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

// The kinds of the streams listed in the section that starts with a line beginning with
// `heading` and ends at the next line that is not indented.
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
        streams.video = streams.video || kind == QLatin1String("Video");
        streams.audio = streams.audio || kind == QLatin1String("Audio");
    }
    return streams;
}

// "5", "1.7": seconds with at most one decimal.
QString SecondsText(double seconds) {
    QString text = QString::number(seconds, 'f', 1);
    if (text.endsWith(QLatin1String(".0"))) {
        text.chop(2);
    }
    return text;
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
    const Streams streams = StreamsUnder(readingOutputs, QStringLiteral("Input #0"));
    facts.video = streams.video;
    facts.audio = streams.audio;
    facts.readable = exitedCleanly && (streams.video || streams.audio);
    // The last progress line is the summary: "frame=  127 ... time=00:00:05.20 ...". Its frame
    // count is the first video stream's packets.
    static const QRegularExpression frames(QStringLiteral("frame=\\s*(\\d+)"));
    for (const QString& line : Lines(readingOutputs)) {
        QString time;
        if (!EncoderWording::FindProgressTime(line, &time)) {
            continue;
        }
        facts.seconds = EncoderWording::ProgressTimeSeconds(time).value_or(facts.seconds);
        const QRegularExpressionMatch match = frames.match(line);
        facts.pictures = match.hasMatch() ? match.captured(1).toLongLong() : 0;
    }
    return facts;
}

QString Problem(const Streams& announced, const Facts& facts, double expectedSeconds) {
    if (!facts.readable) {
        return QStringLiteral("The output cannot be read: it is empty or damaged.");
    }
    if (announced.video && (!facts.video || facts.pictures == 0)) {
        return QStringLiteral("The output has no picture.");
    }
    if (announced.audio && !facts.audio) {
        return QStringLiteral("The output has no sound.");
    }
    // Marks are whole seconds of a duration rounded to whole seconds, so the end mark may lie
    // up to half a second past the input's end; a frame or two more is the muxer's rounding.
    const double tolerance = std::max(0.75, expectedSeconds * 0.02);
    if (expectedSeconds > 0 && facts.seconds < expectedSeconds - tolerance) {
        return QStringLiteral("The output is %1 s long instead of %2 s: the input ends early or "
                              "is damaged.")
            .arg(SecondsText(facts.seconds), SecondsText(expectedSeconds));
    }
    return {};
}

} // namespace OutputCheck
