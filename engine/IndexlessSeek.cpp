#include "engine/IndexlessSeek.h"

#include <QStringList>

#include <algorithm>
#include <utility>

IndexlessSeek::IndexlessSeek(const CutContext& context) : context_(context) {}

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
                      QStringLiteral("packet=pts_time,flags"),
                      QStringLiteral("-of"),
                      QStringLiteral("csv=p=0"),
                      context_.input};
    return step;
}

void IndexlessSeek::Learn(const StepResult& result) {
    const double mark = context_.request.start.value_or(0) + context_.facts.startTime;
    std::optional<double> key;
    for (const QString& line : result.outputs.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.trimmed().split(QLatin1Char(','));
        bool ok = false;
        const double time = fields.value(0).toDouble(&ok);
        if (ok && fields.value(1).startsWith(QLatin1Char('K')) && time <= mark + 1e-4 &&
            (!key || time > *key)) {
            key = time;
        }
    }
    if (key) {
        seek_ = std::max(0.0, *key - context_.facts.startTime + 0.001);
    } else {
        notFound_ = true;
    }
}
