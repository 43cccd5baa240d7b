#include "engine/SimpleCutPlan.h"

#include "engine/CommandLine.h"
#include "engine/ConversionCommand.h"

#include <QRegularExpression>

#include <utility>

SimpleCutPlan::SimpleCutPlan(CutContext context) : context_(std::move(context)) {}

QStringList SimpleCutPlan::Arguments(bool outputSeek) const {
    const QString& text = context_.request.argumentsText;
    if (!outputSeek) {
        // The program's name is not part of the arguments.
        return CommandLine::SplitCommandLine(ConversionCommand::Build(QStringLiteral("ffmpeg"),
                                                                      context_.input, text,
                                                                      context_.product))
            .mid(1);
    }
    return QStringList{QStringLiteral("-i"), context_.input} + CommandLine::SplitCommandLine(text) +
           QStringList{context_.product};
}

PlanStep SimpleCutPlan::Step(bool outputSeek) const {
    PlanStep step;
    step.arguments = Arguments(outputSeek);
    step.mediaSeconds = context_.length;
    step.share = 1.0;
    step.product = context_.product;
    return step;
}

bool SimpleCutPlan::CopiesVideo() const {
    const QStringList& options = context_.request.formatOptions;
    for (qsizetype i = 0; i + 1 < options.size(); ++i) {
        const QString& option = options.at(i);
        if ((option == QLatin1String("-c") || option == QLatin1String("-c:v") ||
             option == QLatin1String("-vcodec") || option == QLatin1String("-codec")) &&
            options.at(i + 1) == QLatin1String("copy")) {
            return true;
        }
    }
    return false;
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

PlanAnswer SimpleCutPlan::Next(const StepResult* last) {
    if (last == nullptr) {
        return PlanAnswer::Run(Step(outputSeek_));
    }
    if (!last->Ok()) {
        return PlanAnswer::Failed(last->problem);
    }
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
    if (noPicture && seeked && !outputSeek_ && !CopiesVideo()) {
        outputSeek_ = true;
        return PlanAnswer::Run(Step(true));
    }
    return PlanAnswer::Failed(problem);
}
