#include "engine/ExactCopyPlan.h"

#include "engine/ContainerTraits.h"
#include "engine/ExactCopySteps.h"
#include "engine/WorkFolder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

QString Seconds(double seconds) {
    return QString::number(seconds, 'f', 6);
}

// The cost of a second of each kind of run, for the progress bar: encoding a second of video
// takes many times longer than copying it.
constexpr double EncodeCost = 1.0;
constexpr double CopyCost = 0.05;
constexpr double DecodeCost = 0.1;
// The progress bar's part of the prober's looks together.
constexpr double ProbeShare = 0.02;

PlanStep Probe(QStringList arguments) {
    PlanStep step;
    step.program = PlanStep::Program::Prober;
    step.arguments = std::move(arguments);
    step.share = ProbeShare / 3;
    return step;
}

} // namespace

ExactCopyPlan::ExactCopyPlan(CutContext context)
    : context_(std::move(context)), keeping_(context_) {
    keeping_.StartAtTheMark();
    video_ = context_.facts.MainVideo();
    start_ = std::max(0.0, context_.request.start.value_or(0));
    double length = context_.request.length.value_or(context_.length);
    if (!(length > 0) && context_.facts.duration > 0) {
        length = context_.facts.duration - start_;
    }
    end_ = start_ + std::max(0.0, length);
}

PlanAnswer ExactCopyPlan::Next(const StepResult* last) {
    if (stage_ == Stage::Keeping) {
        if (last != nullptr) {
            keeping_.Learn(*last);
        }
        if (std::optional<PlanStep> step = keeping_.NextStep()) {
            return PlanAnswer::Run(*step);
        }
        return Packets();
    }
    if (last == nullptr) {
        return PlanAnswer::Failed(QString());
    }
    if (!last->Ok() && stage_ != Stage::Decode) {
        return PlanAnswer::Failed(last->problem);
    }
    return After(*last);
}

PlanAnswer ExactCopyPlan::Packets() {
    if (!context_.facts.known || video_ == nullptr || context_.work == nullptr) {
        return PlanAnswer::Failed(
            QStringLiteral("An exact copy needs to know where the video's keyframes lie, and "
                           "the prober could not read them from this file."));
    }
    encoder_ = MatchingEncoder::For(*video_, 0);
    if (encoder_.options.isEmpty()) {
        return PlanAnswer::Failed(encoder_.problem);
    }
    stage_ = Stage::Packets;
    indexless_ = context_.facts.Indexless();
    // From the key frame before the mark (15 s earlier where the seek only comes
    // near) to a few seconds past the end: the packets decoded before the last ones shown.
    return PlanAnswer::Run(Probe(ExactCopySteps::PacketProbe(
        context_.input, video_->index, std::max(0.0, start_ - (indexless_ ? 15 : 0)), end_ + 3,
        context_.facts.startTime)));
}

PlanAnswer ExactCopyPlan::Decide(const StepResult& packets) {
    points_ = CutPoints::Find(CutPoints::ParsePackets(packets.outputs, context_.facts.startTime),
                              start_, end_);
    if (!points_.valid) {
        return PlanAnswer::Failed(
            QStringLiteral("The marked range holds no picture of the video."));
    }
    encoder_ = MatchingEncoder::For(*video_, points_.bitRate, true);
    tailEncoder_ = MatchingEncoder::For(*video_, points_.bitRate, false);
    if (MatchingEncoder::Interlaced(*video_)) {
        // Interlaced pictures encoded again cannot be told to join the source's fields the
        // way they were: the whole range is encoded, at the same quality as a head would be.
        points_.headPictures = points_.Pictures();
        points_.middlePictures = points_.tailPictures = 0;
        points_.keyFrame = points_.tailStart = end_;
        notice_ = QStringLiteral("The video is interlaced, which an exact copy cannot join "
                                 "without a flaw: the whole range was encoded again with %1 at "
                                 "a quality that cannot be told from the source.")
                      .arg(encoder_.codecName);
    }
    const double length = end_ - points_.start;
    weights_ = (points_.keyFrame - points_.start) * EncodeCost +
               (points_.tailStart - points_.keyFrame) * CopyCost +
               (end_ - points_.tailStart) * EncodeCost + length * (CopyCost + DecodeCost);
    return NextPiece();
}

double ExactCopyPlan::Seek(double time) const {
    const double key = points_.KeyFrameBefore(time, std::max(0.0, time - 1));
    return std::min(time, ExactCopySteps::SeekTarget(key, indexless_, points_.shortestGap));
}

double ExactCopyPlan::Share(double weight) const {
    return weights_ > 0 ? (1.0 - ProbeShare) * weight / weights_ : 0;
}

PlanStep ExactCopyPlan::Encoder(QStringList arguments, double mediaSeconds, double weight) const {
    PlanStep step;
    step.arguments = std::move(arguments);
    step.mediaSeconds = mediaSeconds;
    step.share = Share(weight);
    return step;
}

PlanAnswer ExactCopyPlan::NextPiece() {
    const WorkFolder& work = *context_.work;
    if (points_.headPictures > 0 && head_.isEmpty()) {
        stage_ = Stage::Head;
        head_ = work.Piece(QStringLiteral("head.ts"));
        const double seconds = points_.keyFrame - points_.start;
        return PlanAnswer::Run(
            Encoder(ExactCopySteps::EncodePiece(context_.input, video_->index, Seek(points_.start),
                                                points_.start, points_.headPictures,
                                                encoder_.options, head_),
                    seconds, seconds * EncodeCost));
    }
    if (stage_ == Stage::Head && points_.middlePictures > 0) {
        stage_ = Stage::HeadStart;
        return PlanAnswer::Run(Probe(ExactCopySteps::FirstPacketProbe(head_)));
    }
    if (points_.middlePictures > 0 && middle_.isEmpty()) {
        stage_ = Stage::Middle;
        middle_ = work.Piece(QStringLiteral("middle.ts"));
        const double seconds = points_.tailStart - points_.keyFrame;
        return PlanAnswer::Run(Encoder(
            ExactCopySteps::CopyMiddle(
                context_.input, video_->index,
                ExactCopySteps::SeekTarget(points_.keyFrame, indexless_, points_.shortestGap),
                points_.keyFrame, points_.tailStart, points_.shortestGap, middle_),
            seconds, seconds * CopyCost));
    }
    if (stage_ == Stage::Middle && points_.headPictures > 0) {
        stage_ = Stage::MiddleStart;
        return PlanAnswer::Run(Probe(ExactCopySteps::FirstPacketProbe(middle_)));
    }
    if (points_.tailPictures > 0 && tail_.isEmpty()) {
        stage_ = Stage::Tail;
        tail_ = work.Piece(QStringLiteral("tail.ts"));
        const double seconds = end_ - points_.tailStart;
        return PlanAnswer::Run(
            Encoder(ExactCopySteps::EncodePiece(context_.input, video_->index,
                                                Seek(points_.tailStart), points_.tailStart,
                                                points_.tailPictures, tailEncoder_.options, tail_),
                    seconds, seconds * EncodeCost));
    }
    return Join();
}

PlanAnswer ExactCopyPlan::Join() {
    QList<ExactCopySteps::Piece> pieces;
    if (!head_.isEmpty()) {
        pieces.append({head_, points_.keyFrame - points_.start});
    }
    if (!middle_.isEmpty()) {
        pieces.append({middle_, points_.tailStart - points_.keyFrame});
    }
    if (!tail_.isEmpty()) {
        pieces.append({tail_, end_ - points_.tailStart});
    }
    const QString list = context_.work->Piece(QStringLiteral("pieces.txt"));
    QFile file(list);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(ExactCopySteps::ConcatList(pieces).toUtf8()) < 0 || !file.flush()) {
        return PlanAnswer::Failed(QStringLiteral("The list of the copy's pieces cannot be "
                                                 "written in the output folder: %1")
                                      .arg(file.errorString()));
    }
    file.close();
    stage_ = Stage::Join;
    const double length = end_ - points_.start;
    PlanStep step = Encoder(JoinArguments(list), length, length * CopyCost);
    step.product = context_.product;
    return PlanAnswer::Run(step);
}

QStringList ExactCopyPlan::JoinArguments(const QString& list) const {
    // The other streams are cut once over the whole range from the source, starting at the
    // range's first picture; the video comes from the pieces.
    const double first = points_.start;
    QStringList arguments{QStringLiteral("-ss"), Seconds(first),       QStringLiteral("-t"),
                          Seconds(end_ - first), QStringLiteral("-i"), context_.input};
    const QStringList inputs = keeping_.Inputs();
    arguments += inputs;
    const qsizetype pieces = 1 + inputs.count(QStringLiteral("-i"));
    arguments << QStringLiteral("-f") << QStringLiteral("concat") << QStringLiteral("-safe")
              << QStringLiteral("0") << QStringLiteral("-i") << list;
    arguments += context_.request.formatOptions;
    QStringList options = keeping_.Options();
    const QString sourceVideo = QStringLiteral("0:%1").arg(video_->index);
    for (qsizetype i = 1; i < options.size(); ++i) {
        if (options.at(i - 1) == QLatin1String("-map") && options.at(i) == sourceVideo) {
            options[i] = QStringLiteral("%1:v:0").arg(pieces);
        }
    }
    arguments += options;
    if (!context_.facts.StreamsOf(QStringLiteral("audio")).isEmpty()) {
        // A copy of the sound starts at the packet the seek lands on, before the mark: the
        // packets before the first picture go.
        arguments << QStringLiteral("-bsf:a") << QStringLiteral("noise=drop=lt(pts\\,0)");
    }
    if (!head_.isEmpty() && !middle_.isEmpty() && lead_ > headLead_) {
        arguments << QStringLiteral("-bsf:v")
                  << ExactCopySteps::JoinTimestamps(points_.keyFrame - first, points_.shortestGap,
                                                    lead_ - headLead_);
    }
    const QString extension = QFileInfo(context_.product).suffix().toLower();
    const ContainerTraits traits = ContainerTraits::Of(extension);
    if (extension == QLatin1String("mp4") || extension == QLatin1String("mov") ||
        extension == QLatin1String("m4v")) {
        arguments << QStringLiteral("-tag:v")
                  << (video_->codec == QLatin1String("hevc") ? QStringLiteral("hev1")
                                                             : QStringLiteral("avc3"));
        const QString base = video_->timeBase;
        if (base.startsWith(QLatin1String("1/")) && base.mid(2).toInt() >= 1000) {
            arguments << QStringLiteral("-video_track_timescale") << base.mid(2);
        }
    }
    if (video_->rotation != 0 && traits.displayMatrix) {
        // The pieces do not carry the source's display matrix.
        const int turn = ((-qRound(video_->rotation)) % 360 + 360) % 360;
        arguments << QStringLiteral("-metadata:s:v:0") << QStringLiteral("rotate=%1").arg(turn);
    }
    return arguments << QStringLiteral("-y") << context_.product;
}

PlanAnswer ExactCopyPlan::After(const StepResult& result) {
    switch (stage_) {
    case Stage::Packets:
        return Decide(result);
    case Stage::HeadStart:
        headLead_ = ExactCopySteps::DecodeLead(result.outputs);
        return NextPiece();
    case Stage::MiddleStart:
        lead_ = ExactCopySteps::DecodeLead(result.outputs);
        return NextPiece();
    case Stage::Head:
    case Stage::Middle:
    case Stage::Tail:
        return NextPiece();
    case Stage::Join:
        notice_ = notice_.isEmpty() ? keeping_.Notice(result.outputs) : notice_;
        stage_ = Stage::Count;
        return PlanAnswer::Run(Probe(ExactCopySteps::CountProbe(context_.product)));
    case Stage::Count: {
        const int count = ExactCopySteps::CountOf(result.outputs);
        if (count != points_.Pictures()) {
            return PlanAnswer::Failed(
                QStringLiteral("The exact copy holds %1 pictures instead of the range's %2.")
                    .arg(count)
                    .arg(points_.Pictures()));
        }
        stage_ = Stage::Decode;
        const double length = end_ - points_.start;
        return PlanAnswer::Run(
            Encoder(ExactCopySteps::DecodeCheck(context_.product), length, length * DecodeCost));
    }
    case Stage::Decode: {
        const QString problems = ExactCopySteps::DecodeProblems(result.outputs);
        if (!result.Ok() || !problems.isEmpty()) {
            return PlanAnswer::Failed(
                QStringLiteral("The exact copy does not decode without errors, so it was not "
                               "kept:\n") +
                (problems.isEmpty() ? result.problem : problems));
        }
        break;
    }
    case Stage::Keeping:
        break;
    }
    OutputCheck::Expectation expect;
    expect.seconds = context_.length;
    return PlanAnswer::Done(context_.product, expect);
}
