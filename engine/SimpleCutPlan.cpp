#include "engine/SimpleCutPlan.h"

#include "engine/CommandLine.h"
#include "engine/ContainerTraits.h"
#include "engine/StreamSelection.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

SimpleCutPlan::SimpleCutPlan(CutContext context)
    : context_(std::move(context)), seek_(context_), keeping_(context_) {}

QStringList SimpleCutPlan::Arguments(bool outputSeek) const {
    const QStringList given = CommandLine::SplitCommandLine(context_.request.argumentsText);
    QStringList arguments;
    if (!outputSeek) {
        // "-ss" goes before the input (ConversionCommand::Build tells why). A stream copy's
        // length goes there as well: it ends the copy where "-t" after the input would, but
        // the encoder then cuts no chapter at the length, and a copy that starts at the key
        // frame before the mark runs longer than that.
        const QStringList& format = context_.request.formatOptions;
        const bool copy = StreamSelection::Copies(format, QLatin1Char('v')) ||
                          (StreamSelection::Copies(format, QLatin1Char('a')) &&
                           (format.contains(QLatin1String("-vn")) ||
                            ContainerTraits::Of(QFileInfo(context_.product).suffix()).audioOnly));
        QStringList range;
        QStringList rest;
        for (qsizetype i = 0; i < given.size(); ++i) {
            const bool moved =
                given.at(i) == QLatin1String("-ss") || (copy && given.at(i) == QLatin1String("-t"));
            if (moved && i + 1 < given.size()) {
                const std::optional<double> seek = seek_.InputSeek();
                if (given.at(i) == QLatin1String("-ss") && seek) {
                    // The seek lands on the key frame; a re-encode leaves out the pictures
                    // from there to the mark, a copy starts at that key frame.
                    range << given.at(i) << QString::number(*seek, 'f', 6);
                    const double mark = given.at(i + 1).toDouble();
                    if (!copy && mark > *seek) {
                        rest << QStringLiteral("-ss") << QString::number(mark - *seek, 'f', 6);
                    }
                } else {
                    range << given.at(i) << given.at(i + 1);
                }
                ++i;
            } else {
                rest << given.at(i);
            }
        }
        arguments =
            range + QStringList{QStringLiteral("-i"), context_.input} + keeping_.Inputs() + rest;
    } else {
        arguments = QStringList{QStringLiteral("-i"), context_.input} + keeping_.Inputs() + given;
    }
    // The kept streams' options come after the format's own.
    return arguments + keeping_.Options() + QStringList{context_.product};
}

PlanStep SimpleCutPlan::Step(bool outputSeek) {
    PlanStep step;
    step.arguments = Arguments(outputSeek);
    step.mediaSeconds = context_.length;
    step.share = 1.0;
    step.product = context_.product;
    cutAsked_ = true;
    return step;
}

bool SimpleCutPlan::NoPictureEncoded(const QString& outputs) {
    // The summary after a run that found no picture to encode: "frame=    0 ... Lsize=".
    static const QRegularExpression summary(QStringLiteral("frame=\\s*(\\d+)[^\\r\\n]*Lsize="));
    QRegularExpressionMatch last;
    for (const QRegularExpressionMatch& match : summary.globalMatch(outputs)) {
        last = match;
    }
    return last.hasMatch() && last.captured(1) == QLatin1String("0") &&
           OutputCheck::AnnouncedStreams(outputs).video > 0;
}

std::optional<PlanAnswer> SimpleCutPlan::WithoutExtras(const QString& problem) {
    if (plainTried_ || !keeping_.HasExtras()) {
        return std::nullopt;
    }
    plainTried_ = true;
    keeping_.LeaveOutExtras(problem);
    return PlanAnswer::Run(Step(outputSeek_));
}

PlanAnswer SimpleCutPlan::Next(const StepResult* last) {
    if (seek_.Took(last)) {
        if (seek_.NotFound() &&
            !StreamSelection::Copies(context_.request.formatOptions, QLatin1Char('v'))) {
            // No key frame in the 15 s before the mark: decoded from the start.
            outputSeek_ = true;
            keeping_.SetOutputSeek(true);
        }
        last = nullptr;
    } else if (!cutAsked_ && !outputSeek_) {
        if (std::optional<PlanStep> step = seek_.NextStep()) {
            return PlanAnswer::Run(*step);
        }
    }
    if (!cutAsked_) {
        if (last != nullptr) {
            keeping_.Learn(*last);
        }
        if (std::optional<PlanStep> step = keeping_.NextStep()) {
            return PlanAnswer::Run(*step);
        }
        return PlanAnswer::Run(Step(outputSeek_));
    }
    if (last == nullptr) {
        return PlanAnswer::Failed(QString());
    }
    if (!last->Ok()) {
        if (std::optional<PlanAnswer> again = WithoutExtras(last->problem)) {
            return *again;
        }
        return PlanAnswer::Failed(last->problem);
    }
    notice_ = keeping_.Notice(last->outputs);
    encodedNoPicture_ = NoPictureEncoded(last->outputs);
    OutputCheck::Expectation expect;
    expect.seconds = context_.length;
    return PlanAnswer::Done(context_.product, expect);
}

PlanAnswer SimpleCutPlan::Rejected(const QString& problem) {
    // Seeking on the output side decodes everything before the mark: slow, but it finds the
    // pictures a seek in the input missed. A copy cannot start between key frames either way.
    const bool seeked = context_.request.start.value_or(0) > 0;
    const bool noPicture = problem == OutputCheck::NoPicture() || encodedNoPicture_;
    if (noPicture && seeked && !outputSeek_ &&
        !StreamSelection::Copies(context_.request.formatOptions, QLatin1Char('v'))) {
        outputSeek_ = true;
        keeping_.SetOutputSeek(true);
        return PlanAnswer::Run(Step(true));
    }
    if (std::optional<PlanAnswer> again = WithoutExtras(problem)) {
        return *again;
    }
    return PlanAnswer::Failed(problem);
}
