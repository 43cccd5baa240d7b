#include "tests/support/PlanDriver.h"

#include "engine/CommandLine.h"
#include "engine/CutPlan.h"
#include "engine/CutPlanning.h"
#include "engine/EncoderWording.h"
#include "engine/OutputCheck.h"
#include "engine/SourceFacts.h"
#include "engine/WorkFolder.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace PlanDriver {

Outcome Cut(const QString& input, const QString& arguments, const QString& output, double length) {
    Outcome outcome;
    const WorkFolder work(QFileInfo(output).absolutePath());
    if (!work.Valid()) {
        outcome.problem = work.ErrorText();
        return outcome;
    }
    CutContext context;
    context.input = input;
    context.product = work.Piece(QFileInfo(output).fileName());
    context.length = length;
    context.request = CutRequest::Parse(arguments);
    context.work = &work;
    QByteArray described;
    if (TestSupport::RunProgram(QStringLiteral("ffprobe"), SourceFacts::ProbeArguments(input),
                                &described) == 0) {
        context.facts = SourceFacts::Parse(QString::fromUtf8(described));
    }
    const std::unique_ptr<CutPlan> plan = CutPlanning::Choose(context);
    QHash<QString, QString> productOutputs;
    PlanAnswer answer = plan->Next(nullptr);
    for (int steps = 0; steps < 50; ++steps) {
        if (answer.kind == PlanAnswer::Kind::Failed) {
            outcome.problem = answer.problem;
            return outcome;
        }
        if (answer.kind == PlanAnswer::Kind::Run) {
            const bool encoder = answer.step.program == PlanStep::Program::Encoder;
            const QString program = encoder ? QStringLiteral("ffmpeg") : QStringLiteral("ffprobe");
            outcome.runs.append(program + QLatin1Char(' ') + answer.step.arguments.join(u' '));
            QByteArray printed;
            const int status = TestSupport::RunProgram(program, answer.step.arguments, &printed);
            StepResult result;
            result.step = answer.step;
            result.outputs = QString::fromUtf8(printed);
            result.ending.kind = ChildProcess::Ending::Kind::Exited;
            result.ending.value = status;
            result.ok = status == 0 && (!encoder || EncoderWording::EncodingBegan(result.outputs));
            if (!result.ok) {
                result.problem = EncoderWording::FailureLines(result.outputs);
                if (result.problem.isEmpty()) {
                    result.problem =
                        QStringLiteral("%1 exited with status %2.").arg(program).arg(status);
                }
            }
            if (!answer.step.product.isEmpty()) {
                productOutputs.insert(answer.step.product, result.outputs);
            }
            answer = plan->Next(&result);
            continue;
        }
        const OutputCheck::Streams announced =
            OutputCheck::AnnouncedStreams(productOutputs.value(answer.product));
        const QStringList reading =
            CommandLine::SplitCommandLine(OutputCheck::ReadingCommand(answer.product, announced));
        QByteArray read;
        const int status = TestSupport::RunProgram(reading.first(), reading.mid(1), &read);
        OutputCheck::Facts facts = OutputCheck::ReadFacts(QString::fromUtf8(read), status == 0);
        facts.bytes = QFileInfo(answer.product).size();
        const QString problem = OutputCheck::Problem(announced, facts, answer.expect);
        if (!problem.isEmpty()) {
            answer = plan->Rejected(problem);
            continue;
        }
        QFile::remove(output);
        if (!QFile::rename(answer.product, output)) {
            outcome.problem = QStringLiteral("The product could not be moved to %1.").arg(output);
            return outcome;
        }
        outcome.done = true;
        outcome.notice = plan->Notice();
        outcome.cutOutputs = productOutputs.value(answer.product);
        return outcome;
    }
    outcome.problem = QStringLiteral("The plan did not come to an end.");
    return outcome;
}

} // namespace PlanDriver
