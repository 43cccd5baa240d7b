#include "engine/IndexlessSeek.h"

#include "engine/CutPoints.h"

#include <algorithm>
#include <utility>

IndexlessSeek::IndexlessSeek(const CutContext& context) : context_(context) {}

std::optional<PlanStep> IndexlessSeek::NextStep() {
    if (asked_) {
        return std::nullopt;
    }
    asked_ = true;
    std::optional<PlanStep> step = Probe();
    running_ = step.has_value();
    return step;
}

bool IndexlessSeek::Took(const StepResult* last) {
    if (!running_) {
        return false;
    }
    running_ = false;
    if (last != nullptr) {
        Learn(*last);
    }
    return true;
}

std::optional<PlanStep> IndexlessSeek::Probe() const {
    const SourceStream* video = context_.facts.MainVideo();
    const double mark = context_.request.start.value_or(0);
    if (video == nullptr || !context_.facts.Indexless() || !(mark > 0)) {
        return std::nullopt;
    }
    // The packets of the 15 s before the mark, the key frames among them.
    const double at = mark + context_.facts.startTime;
    PlanStep step;
    step.program = PlanStep::Program::Prober;
    step.arguments = {QStringLiteral("-v"),
                      QStringLiteral("error"),
                      QStringLiteral("-select_streams"),
                      QString::number(video->index),
                      QStringLiteral("-read_intervals"),
                      QString::number(std::max(0.0, at - 15), 'f', 6) + QLatin1Char('%') +
                          QString::number(at + 0.001, 'f', 6),
                      QStringLiteral("-show_entries"),
                      QStringLiteral("packet=pts_time,dts_time,flags"),
                      QStringLiteral("-of"),
                      QStringLiteral("csv=p=0"),
                      context_.input};
    return step;
}

void IndexlessSeek::Learn(const StepResult& result) {
    const double mark = context_.request.start.value_or(0);
    std::optional<double> key;
    for (const CutPoints::Packet& packet :
         CutPoints::ParsePackets(result.outputs, context_.facts.startTime)) {
        if (packet.key && packet.pts <= mark + 1e-4 && (!key || packet.pts > *key)) {
            key = packet.pts;
        }
    }
    if (key) {
        seek_ = std::max(0.0, *key + 0.001);
    } else {
        notFound_ = true;
    }
}
