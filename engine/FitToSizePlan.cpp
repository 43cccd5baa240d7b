#include "engine/FitToSizePlan.h"

#include "engine/WorkFolder.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

QString Number(double value) {
    return QString::number(value, 'f', 6);
}

// The value of the last of `names` in `options`; empty without one.
QString ValueOf(const QStringList& options, const QStringList& names) {
    QString value;
    for (qsizetype i = 0; i + 1 < options.size(); ++i) {
        if (names.contains(options.at(i))) {
            value = options.at(i + 1);
        }
    }
    return value;
}

// The options that name the video and sound encoders, and those this plan sets itself (the
// rates, the passes, the filters and the frame rate), which the format's own may not undo.
const QStringList VideoCodecNames{"-c:v", "-vcodec", "-codec:v"};
const QStringList AudioCodecNames{"-c:a", "-acodec", "-codec:a"};
const QStringList FilterNames{"-vf", "-filter:v"};
const QStringList OwnOptions{"-b:v",     "-crf",      "-qp",          "-maxrate", "-bufsize",
                             "-minrate", "-pass",     "-passlogfile", "-b:a",     "-r",
                             "-vf",      "-filter:v", "-t",           "-ss",      "-y"};

// The size the first pass says it encoded: "video:1234kB" (or "KiB"), in bytes; -1 without.
qint64 FirstPassBytes(const QString& outputs) {
    static const QRegularExpression summary(QStringLiteral("video:\\s*(\\d+)\\s*(kB|KiB)"));
    qint64 bytes = -1;
    for (const QRegularExpressionMatch& match : summary.globalMatch(outputs)) {
        bytes = match.captured(1).toLongLong() * 1024;
    }
    return bytes;
}

// "45 s", "10 min", "1 h 30 min": a cut's length for a sentence.
QString LengthText(double seconds) {
    if (seconds < 120) {
        return QStringLiteral("%1 s").arg(std::lround(seconds));
    }
    const long minutes = std::lround(seconds / 60);
    if (minutes < 120) {
        return QStringLiteral("%1 min").arg(minutes);
    }
    return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

} // namespace

FitToSizePlan::FitToSizePlan(CutContext context)
    : context_(std::move(context)), seek_(context_), keeping_(context_) {
    const QStringList& options = context_.request.formatOptions;
    const QString extension = QFileInfo(context_.product).suffix().toLower();
    const bool webm = extension == QLatin1String("webm");
    QString videoCodec = ValueOf(options, VideoCodecNames);
    QString audioCodec = ValueOf(options, AudioCodecNames);
    if (videoCodec.isEmpty()) {
        videoCodec = webm ? QStringLiteral("libvpx-vp9") : QStringLiteral("libx264");
    }
    if (audioCodec.isEmpty()) {
        audioCodec = webm ? QStringLiteral("libopus") : QStringLiteral("aac");
    }
    video_ = videoCodec == QLatin1String("libx264")      ? SizeFit::Video::H264
             : videoCodec == QLatin1String("libvpx-vp9") ? SizeFit::Video::Vp9
                                                         : SizeFit::Video::Other;
    audio_ = audioCodec == QLatin1String("aac") ? SizeFit::Audio::Aac
             : audioCodec == QLatin1String("libopus") || audioCodec == QLatin1String("opus")
                 ? SizeFit::Audio::Opus
                 : SizeFit::Audio::Other;
    filters_ = ValueOf(options, FilterNames);
    for (qsizetype i = 0; i < options.size(); ++i) {
        if (OwnOptions.contains(options.at(i)) && i + 1 < options.size() &&
            options.at(i) != QLatin1String("-y")) {
            ++i;
        } else if (options.at(i) != QLatin1String("-y")) {
            format_ << options.at(i);
        }
    }
    if (context_.work != nullptr) {
        passLog_ = context_.work->Piece(QStringLiteral("pass"));
    }
}

double FitToSizePlan::Seconds() const {
    return context_.request.length.value_or(context_.length);
}

QString FitToSizePlan::CannotFit() const {
    return QStringLiteral("A cut of %1 cannot fit in %2 at a watchable quality: it needs at least "
                          "%3. Mark a shorter range or choose a larger size.")
        .arg(LengthText(Seconds()), OutputCheck::Megabytes(context_.request.targetBytes),
             OutputCheck::Megabytes(fit_.leastBytes));
}

QStringList FitToSizePlan::VideoOptions(int pass) const {
    QStringList filters;
    if (!filters_.isEmpty()) {
        filters << filters_;
    }
    if (fit_.framesPerSecond > 0) {
        filters << QStringLiteral("fps=%1").arg(fit_.framesPerSecond);
    }
    if (fit_.width > 0) {
        filters << QStringLiteral("scale=%1:%2").arg(fit_.width).arg(fit_.height);
    }
    QStringList options;
    if (!filters.isEmpty()) {
        options << QStringLiteral("-vf") << filters.join(QLatin1Char(','));
    }
    const QString rate = QString::number(videoRate_);
    if (pass == 0) {
        return options << QStringLiteral("-b:v") << rate;
    }
    if (video_ == SizeFit::Video::H264 && (pass == 1 || constantQuality_)) {
        options << QStringLiteral("-crf") << QStringLiteral("18");
        if (pass == 2) {
            return options;
        }
    } else {
        options << QStringLiteral("-b:v") << rate;
    }
    if (video_ == SizeFit::Video::Vp9) {
        // Constrained quality: the rate is a ceiling the encoder need not reach.
        options << QStringLiteral("-crf") << QStringLiteral("24");
    }
    return options << QStringLiteral("-pass") << QString::number(pass)
                   << QStringLiteral("-passlogfile") << passLog_;
}

QStringList FitToSizePlan::Arguments(int pass) const {
    QStringList arguments;
    const double start = context_.request.start.value_or(0);
    const std::optional<double> seek = seek_.InputSeek();
    if (start > 0 && seek) {
        // A file without an index: the key frame before the mark, the rest decoded.
        arguments << QStringLiteral("-ss") << Number(*seek) << QStringLiteral("-i")
                  << context_.input << QStringLiteral("-ss")
                  << Number(std::max(0.0, start - *seek));
    } else if (start > 0 && seek_.NotFound()) {
        arguments << QStringLiteral("-i") << context_.input << QStringLiteral("-ss")
                  << Number(start);
    } else {
        if (start > 0) {
            arguments << QStringLiteral("-ss") << Number(start);
        }
        arguments << QStringLiteral("-i") << context_.input;
    }
    if (pass == 1) {
        // The first pass looks at the picture alone and writes nothing but its log.
        const SourceStream* video = context_.facts.MainVideo();
        return arguments + format_ +
               QStringList{QStringLiteral("-t"), Number(Seconds()), QStringLiteral("-map"),
                           video != nullptr ? QStringLiteral("0:%1").arg(video->index)
                                            : QStringLiteral("0:v:0")} +
               VideoOptions(1) +
               QStringList{QStringLiteral("-an"), QStringLiteral("-sn"),  QStringLiteral("-dn"),
                           QStringLiteral("-f"),  QStringLiteral("null"), QStringLiteral("-")};
    }
    arguments += keeping_.Inputs();
    arguments += format_;
    arguments << QStringLiteral("-t") << Number(Seconds());
    if (fit_.videoBitRate > 0) {
        arguments += VideoOptions(pass);
    }
    if (fit_.audioBitRate > 0) {
        arguments << QStringLiteral("-b:a") << QString::number(fit_.audioBitRate);
        if (audio_ == SizeFit::Audio::Opus) {
            // Opus's free variable rate runs a third over its rate on plain sounds.
            arguments << QStringLiteral("-vbr") << QStringLiteral("constrained");
        }
    }
    return arguments + keeping_.Options() + QStringList{QStringLiteral("-y"), context_.product};
}

PlanStep FitToSizePlan::Pass(int pass, double share) {
    PlanStep step;
    step.arguments = Arguments(pass);
    step.mediaSeconds = context_.length;
    step.share = share;
    step.product = pass == 1 ? QString() : context_.product;
    return step;
}

PlanAnswer FitToSizePlan::Start() {
    const SourceStream* video = context_.facts.MainVideo();
    const QStringList& options = context_.request.formatOptions;
    SizeFit::Source source;
    source.seconds = Seconds();
    source.video =
        !options.contains(QStringLiteral("-vn")) && (video != nullptr || !context_.facts.known);
    if (video != nullptr) {
        const bool turned = std::lround(std::abs(video->rotation)) % 180 == 90;
        source.width = turned ? video->height : video->width;
        source.height = turned ? video->width : video->height;
        source.framesPerSecond = video->FramesPerSecond();
    }
    if (!options.contains(QStringLiteral("-an"))) {
        source.audioTracks =
            context_.facts.known
                ? static_cast<int>(context_.facts.StreamsOf(QStringLiteral("audio")).size())
                : 1;
    }
    for (const SourceStream& stream : context_.facts.streams) {
        if (stream.type == QLatin1String("subtitle") || stream.type == QLatin1String("data")) {
            // Text cues and telemetry take little; a few kbit/s stand for what is not told.
            source.otherBitsPerSecond += std::max<qint64>(stream.bitRate, 4000);
        }
    }
    fit_ = SizeFit::Choose(context_.request.targetBytes, source, video_, audio_);
    if (!fit_.fits) {
        return PlanAnswer::Failed(CannotFit());
    }
    videoRate_ = fit_.videoBitRate;
    twoPass_ = source.video && video_ != SizeFit::Video::Other;
    if (!twoPass_) {
        stage_ = Stage::LastPass;
        return PlanAnswer::Run(Pass(0, 1.0));
    }
    stage_ = Stage::FirstPass;
    return PlanAnswer::Run(Pass(1, 0.4));
}

QString FitToSizePlan::MadeNotice() const {
    QStringList made;
    if (fit_.width > 0 && context_.facts.MainVideo() != nullptr &&
        std::min(fit_.width, fit_.height) <
            std::min(context_.facts.MainVideo()->width, context_.facts.MainVideo()->height)) {
        made << QStringLiteral("%1x%2").arg(fit_.width).arg(fit_.height);
    }
    if (fit_.framesPerSecond > 0) {
        made << QStringLiteral("%1 frames a second").arg(fit_.framesPerSecond);
    }
    if (made.isEmpty()) {
        return {};
    }
    return QStringLiteral("The picture was made %1 to fit in %2.")
        .arg(made.join(QStringLiteral(" at ")),
             OutputCheck::Megabytes(context_.request.targetBytes));
}

PlanAnswer FitToSizePlan::Next(const StepResult* last) {
    if (stage_ == Stage::Looks) {
        if (seek_.Took(last)) {
            if (seek_.NotFound()) {
                keeping_.SetOutputSeek(true);
            }
            last = nullptr;
        } else if (std::optional<PlanStep> step = seek_.NextStep()) {
            return PlanAnswer::Run(*step);
        }
        if (last != nullptr) {
            keeping_.Learn(*last);
        }
        if (std::optional<PlanStep> step = keeping_.NextStep()) {
            return PlanAnswer::Run(*step);
        }
        return Start();
    }
    if (last == nullptr) {
        return PlanAnswer::Failed(QString());
    }
    if (!last->Ok()) {
        if (stage_ == Stage::LastPass && !extrasLeftOut_ && keeping_.HasExtras()) {
            // The encoder could not write the subtitles, attachments or telemetry: once more
            // without them (the first pass's log still serves).
            extrasLeftOut_ = true;
            keeping_.LeaveOutExtras(last->problem);
            return PlanAnswer::Run(Pass(twoPass_ ? 2 : 0, 0));
        }
        return PlanAnswer::Failed(last->problem);
    }
    if (stage_ == Stage::FirstPass) {
        if (video_ == SizeFit::Video::H264) {
            // What the picture needs at constant quality. Well below what it may have, the
            // second pass keeps that quality (x264 cannot aim two passes at a few kbit/s a
            // still picture needs); a little below, it aims at that size.
            const qint64 bytes = FirstPassBytes(last->outputs);
            const double needed = static_cast<double>(bytes) * 8 / Seconds();
            if (bytes > 0 && needed <= static_cast<double>(videoRate_) * 0.8) {
                constantQuality_ = true;
            } else if (bytes > 0) {
                videoRate_ = std::min(videoRate_, static_cast<qint64>(needed));
            }
        }
        stage_ = Stage::LastPass;
        return PlanAnswer::Run(Pass(2, 0.6));
    }
    const QString made = MadeNotice();
    const QString kept = keeping_.Notice(last->outputs);
    notice_ = made.isEmpty() || kept.isEmpty() ? made + kept : made + QLatin1Char(' ') + kept;
    OutputCheck::Expectation expect;
    expect.seconds = context_.length;
    expect.maxBytes = context_.request.targetBytes;
    return PlanAnswer::Done(context_.product, expect);
}

PlanAnswer FitToSizePlan::Rejected(const QString& problem) {
    const qint64 target = context_.request.targetBytes;
    const qint64 bytes = QFileInfo(context_.product).size();
    if (stage_ != Stage::LastPass || againTried_ || bytes <= target || fit_.videoBitRate <= 0) {
        return PlanAnswer::Failed(problem);
    }
    // Over the target all the same: the last pass once more, its rate lowered by what the file
    // was over the planned size (the rest of the bytes are the sound's and the container's).
    againTried_ = true;
    constantQuality_ = false;
    const double over = static_cast<double>(bytes) - static_cast<double>(target) * SizeFit::Margin;
    videoRate_ = std::max<qint64>(
        videoRate_ / 2, videoRate_ - static_cast<qint64>(std::ceil(over * 8 / Seconds())));
    return PlanAnswer::Run(Pass(twoPass_ ? 2 : 0, 0));
}
