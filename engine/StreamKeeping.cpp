#include "engine/StreamKeeping.h"

#include "engine/ContainerTraits.h"
#include "engine/WorkFolder.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

QString Seconds(double seconds) {
    return QString::number(seconds, 'f', 6);
}

// "34000/50000" as a number.
double Ratio(const QString& text) {
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        return text.toDouble();
    }
    const double denominator = text.mid(slash + 1).toDouble();
    return denominator != 0 ? text.left(slash).toDouble() / denominator : 0;
}

// The first number of the prober's CSV lines ("10.000000"), or nothing.
std::optional<double> FirstNumber(const QString& outputs) {
    for (const QString& line : outputs.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const double value = line.trimmed().section(QLatin1Char(','), 0, 0).toDouble(&ok);
        if (ok) {
            return value;
        }
    }
    return std::nullopt;
}

// The subtitle streams with a packet starting inside [from, to) (source seconds), from the
// prober's "index,pts" lines.
QList<int> StreamsWithCues(const QString& outputs, double from, double to) {
    QList<int> streams;
    for (const QString& line : outputs.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.trimmed().split(QLatin1Char(','));
        bool indexOk = false;
        bool timeOk = false;
        const int index = fields.value(0).toInt(&indexOk);
        const double time = fields.value(1).toDouble(&timeOk);
        if (indexOk && timeOk && time >= from && time < to && !streams.contains(index)) {
            streams.append(index);
        }
    }
    return streams;
}

// The first frame's mastering display and light levels as x265 takes them, from the prober's
// JSON of that frame: "master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)
// L(10000000,1):max-cll=1000,400"; empty without a mastering display.
QString HdrParameters(const QString& outputs) {
    const qsizetype open = outputs.indexOf(QLatin1Char('{'));
    const QJsonObject root =
        QJsonDocument::fromJson(outputs.mid(std::max<qsizetype>(open, 0)).toUtf8()).object();
    const QJsonArray frames = root.value(QLatin1String("frames")).toArray();
    if (frames.isEmpty()) {
        return {};
    }
    QJsonObject display;
    QJsonObject light;
    for (const QJsonValue& value :
         frames.first().toObject().value(QLatin1String("side_data_list")).toArray()) {
        const QJsonObject data = value.toObject();
        const QString type = data.value(QLatin1String("side_data_type")).toString();
        if (type == QLatin1String("Mastering display metadata")) {
            display = data;
        } else if (type == QLatin1String("Content light level metadata")) {
            light = data;
        }
    }
    if (!display.contains(QLatin1String("red_x")) ||
        !display.contains(QLatin1String("max_luminance"))) {
        return {};
    }
    const auto chroma = [&display](const char* x, const char* y) {
        return QStringLiteral("(%1,%2)")
            .arg(std::lround(Ratio(display.value(QLatin1String(x)).toString()) * 50000))
            .arg(std::lround(Ratio(display.value(QLatin1String(y)).toString()) * 50000));
    };
    QString parameters =
        QStringLiteral("master-display=G%1B%2R%3WP%4L(%5,%6)")
            .arg(chroma("green_x", "green_y"), chroma("blue_x", "blue_y"), chroma("red_x", "red_y"),
                 chroma("white_point_x", "white_point_y"))
            .arg(std::lround(Ratio(display.value(QLatin1String("max_luminance")).toString()) *
                             10000))
            .arg(std::lround(Ratio(display.value(QLatin1String("min_luminance")).toString()) *
                             10000));
    if (light.contains(QLatin1String("max_content"))) {
        parameters += QStringLiteral(":max-cll=%1,%2")
                          .arg(light.value(QLatin1String("max_content")).toInt())
                          .arg(light.value(QLatin1String("max_average")).toInt());
    }
    return parameters;
}

// The first line of a run's problem, for a sentence.
QString FirstLine(const QString& problem) {
    const QStringList lines = problem.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.first().trimmed();
}

} // namespace

StreamKeeping::StreamKeeping(const CutContext& context, bool outputSeek)
    : context_(context), extension_(QFileInfo(context.product).suffix()), outputSeek_(outputSeek) {
    findings_.start = std::max(0.0, context_.request.start.value_or(0));
    double length = context_.request.length.value_or(context_.length);
    if (!(length > 0) && context_.facts.duration > 0) {
        length = context_.facts.duration - findings_.start;
    }
    findings_.length = std::max(0.0, length);
    findings_.first = findings_.start;
    Choose();
}

void StreamKeeping::Choose() {
    const QString stem =
        context_.work != nullptr ? context_.work->Piece(QStringLiteral("subtitles")) : QString();
    choice_ = StreamSelection::Choose(context_.facts, context_.input, extension_,
                                      context_.request.formatOptions, findings_, stem, outputSeek_);
}

bool StreamKeeping::NeedsKeyFrame() const {
    // A stream copy starts where the encoder's seek lands, the key frame at or before the mark
    // (for every stream: the seek goes by the video); the file shows that start unless an edit
    // list hides it.
    const QStringList& options = context_.request.formatOptions;
    const qsizetype shift = options.lastIndexOf(QLatin1String("-avoid_negative_ts"));
    const bool shown = !ContainerTraits::Of(extension_).editList ||
                       (shift >= 0 && options.value(shift + 1) == QLatin1String("make_zero"));
    const bool copy = StreamSelection::Copies(options, QLatin1Char('v')) ||
                      StreamSelection::Copies(options, QLatin1Char('a'));
    const SourceStream* video = context_.facts.MainVideo();
    const bool timecode =
        video != nullptr && (video->tags.contains(QStringLiteral("timecode")) ||
                             context_.facts.tags.contains(QStringLiteral("timecode")));
    return video != nullptr && findings_.start > 0 && !outputSeek_ && !atTheMark_ && copy && shown &&
           (context_.facts.chapters > 0 || timecode);
}

bool StreamKeeping::NeedsCues() const {
    const ContainerTraits traits = ContainerTraits::Of(extension_);
    const QStringList& options = context_.request.formatOptions;
    if (traits.audioOnly || traits.video == ContainerTraits::Tracks::None ||
        context_.work == nullptr || options.contains(QLatin1String("-vn")) ||
        options.contains(QLatin1String("-sn")) || options.contains(QLatin1String("-map"))) {
        return false;
    }
    const QList<SourceStream> subtitles = context_.facts.StreamsOf(QStringLiteral("subtitle"));
    return std::any_of(subtitles.cbegin(), subtitles.cend(), [&traits](const SourceStream& s) {
        return !StreamSelection::SubtitleTarget(s.codec, traits.textSubtitles,
                                                traits.pictureSubtitles)
                    .isEmpty();
    });
}

PlanStep StreamKeeping::Probe(QStringList arguments) const {
    PlanStep step;
    step.program = PlanStep::Program::Prober;
    step.arguments = QStringList{QStringLiteral("-v"), QStringLiteral("error")} + arguments +
                     QStringList{context_.input};
    return step;
}

std::optional<PlanStep> StreamKeeping::NextStep() {
    const SourceFacts& facts = context_.facts;
    const SourceStream* video = facts.MainVideo();
    if (!facts.known) {
        stage_ = Stage::Ready;
    }
    if (stage_ == Stage::KeyFrame) {
        stage_ = Stage::Cues;
        if (NeedsKeyFrame()) {
            // The first packet after the prober's seek is the key frame the encoder's seek
            // lands on.
            return Probe({QStringLiteral("-select_streams"), QString::number(video->index),
                          QStringLiteral("-read_intervals"),
                          Seconds(findings_.start + facts.startTime) + QStringLiteral("%+#1"),
                          QStringLiteral("-show_entries"), QStringLiteral("packet=pts_time"),
                          QStringLiteral("-of"), QStringLiteral("csv=p=0")});
        }
    }
    if (stage_ == Stage::Cues) {
        stage_ = Stage::Picture;
        if (NeedsCues()) {
            // The interval's end is absolute: "+L" would count from the first packet read,
            // which after a Matroska seek lies before the mark.
            const double from = findings_.start + facts.startTime;
            return Probe({QStringLiteral("-select_streams"), QStringLiteral("s"),
                          QStringLiteral("-read_intervals"),
                          Seconds(from) + QLatin1Char('%') + Seconds(from + findings_.length),
                          QStringLiteral("-show_entries"),
                          QStringLiteral("packet=stream_index,pts_time"), QStringLiteral("-of"),
                          QStringLiteral("csv=p=0")});
        }
    }
    if (stage_ == Stage::Picture) {
        stage_ = Stage::Piece;
        if (video != nullptr && video->colorTransfer == QLatin1String("smpte2084") &&
            StreamSelection::WritesDeepHevc(facts, context_.request.formatOptions)) {
            return Probe({QStringLiteral("-select_streams"), QString::number(video->index),
                          QStringLiteral("-read_intervals"), QStringLiteral("%+#1"),
                          QStringLiteral("-show_frames"), QStringLiteral("-of"),
                          QStringLiteral("json")});
        }
    }
    if (stage_ == Stage::Piece) {
        stage_ = Stage::Ready;
        Choose();
        if (!choice_.pieceArguments.isEmpty()) {
            PlanStep step;
            step.arguments = choice_.pieceArguments;
            step.mediaSeconds = findings_.length;
            return step;
        }
    }
    return std::nullopt;
}

void StreamKeeping::Learn(const StepResult& result) {
    const QStringList& arguments = result.step.arguments;
    if (result.step.program == PlanStep::Program::Encoder) {
        if (!result.Ok()) {
            // Without its piece the cut keeps no subtitles; the user learns why.
            findings_.cuesKnown = false;
            Choose();
            told_.append(QStringLiteral("The subtitles could not be kept: %1")
                             .arg(FirstLine(result.problem).isEmpty()
                                      ? QStringLiteral("the encoder could not write them.")
                                      : FirstLine(result.problem)));
        }
        return;
    }
    if (!result.Ok()) {
        return; // what the look was for stays unknown, and is left out
    }
    if (arguments.contains(QLatin1String("-show_frames"))) {
        findings_.hdrParameters = HdrParameters(result.outputs);
    } else if (arguments.contains(QLatin1String("packet=stream_index,pts_time"))) {
        const double from = findings_.start + context_.facts.startTime;
        // A millisecond's margin on both sides: the piece drops what starts before the mark and
        // ends at the length, and an empty track would vanish from an MP4.
        findings_.subtitlesWithCues =
            StreamsWithCues(result.outputs, from + 0.001, from + findings_.length - 0.001);
        findings_.cuesKnown = true;
    } else if (const std::optional<double> time = FirstNumber(result.outputs)) {
        findings_.first = std::clamp(*time - context_.facts.startTime, 0.0, findings_.start);
    }
}

void StreamKeeping::LeaveOutExtras(const QString& problem) {
    findings_.plain = true;
    Choose();
    told_.append(QStringLiteral("The cut has no subtitles, attachments or telemetry: the encoder "
                                "could not write them (%1).")
                     .arg(FirstLine(problem)));
}

void StreamKeeping::SetOutputSeek(bool outputSeek) {
    outputSeek_ = outputSeek;
    Choose();
}

QString StreamKeeping::Notice(const QString& cutOutputs) const {
    QStringList lines = choice_.notes + told_;
    lines += StreamSelection::AfterCut(context_.facts, cutOutputs);
    return lines.join(QLatin1Char('\n'));
}
