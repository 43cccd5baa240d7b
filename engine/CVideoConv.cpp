#include "engine/CVideoConv.h"

#include "engine/CommandLine.h"
#include "engine/ConversionCommand.h"
#include "engine/CutPlan.h"
#include "engine/CutPlanning.h"
#include "engine/DOSOutputs.h"
#include "engine/EncoderWording.h"
#include "engine/HandlerGuard.h"
#include "engine/OutputCheck.h"
#include "engine/OutputNaming.h"
#include "engine/Platform.h"
#include "engine/ProgressReading.h"
#include "engine/Rounding.h"
#include "engine/SourceFacts.h"
#include "engine/WorkFolder.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>
#include <system_error>
#include <utility>

namespace {

// "Error Occured:" with the failure's description, where it happened and its number.
void ShowUnexpectedFailure(const QString& description, const QString& source, int number) {
    Platform::ShowMessage(QStringLiteral("Error Occured:\r\n") + description +
                              QStringLiteral(" - ") + source + QStringLiteral(" - ") +
                              QString::number(number),
                          Platform::MessageIcon::None);
}

// Runs `operation`; a failure inside it ends it with the "Error Occured:" message.
template <typename Operation> bool GuardedRun(const QString& source, Operation&& operation) {
    return RunGuarded(std::forward<Operation>(operation), [&source](const std::exception* error) {
        if (error == nullptr) {
            ShowUnexpectedFailure(QStringLiteral("Unknown failure"), source, 0);
            return;
        }
        const auto* systemError = dynamic_cast<const std::system_error*>(error);
        ShowUnexpectedFailure(QString::fromLocal8Bit(error->what()), source,
                              systemError != nullptr ? systemError->code().value() : 0);
    });
}

// How long a stopped run's program may take to end before it is killed.
constexpr int StopGraceMs = 300;

bool IsBlank(QChar character) {
    return character == QLatin1Char(' ') || character == QLatin1Char('\t');
}

} // namespace

CVideoConv::CVideoConv(QObject* parent) : QObject(parent) {}

CVideoConv::~CVideoConv() = default;

DOSOutputs* CVideoConv::Runner() {
    if (!objDOS) {
        objDOS = std::make_unique<DOSOutputs>();
        // What a stopped run wrote is thrown away with the work folder: it need not be finished.
        objDOS->SetStopGrace(StopGraceMs);
        connect(objDOS.get(), &DOSOutputs::ReceiveOutputs, this, &CVideoConv::objDOS_ReceiveOutputs,
                Qt::DirectConnection);
    }
    return objDOS.get();
}

DOSOutputs* CVideoConv::Checker() {
    if (!checker_) {
        checker_ = std::make_unique<DOSOutputs>();
        checker_->SetStopGrace(StopGraceMs);
    }
    return checker_.get();
}

void CVideoConv::StartConversion() {
    GuardedRun(QStringLiteral("CVideoConv.StartConversion"), [this] {
        completed_ = false;
        notice_.clear();
        Runner();
        runInput_ = inputFile_;
        unfinishedLine_.clear();
        Platform::ProcessEvents();
        RaiseStatus(QStringLiteral("Starting..."));
        const QString detail = CarryOut();
        // A stop is no failure: the window says the task was stopped.
        if (completed_ || stopped_) {
            return;
        }
        RaiseStatus(QStringLiteral("Error"));
        if (abandoned_) {
            return;
        }
        Platform::ShowMessage(QStringLiteral("Error converting file: ") +
                                  QFileInfo(inputFile_).fileName() + QStringLiteral("\r\n") +
                                  detail,
                              Platform::MessageIcon::Error);
    });
}

// Carries the cut's plan out in a work folder of its own; returns the detail of a failure (empty
// after a success or a stop).
QString CVideoConv::CarryOut() {
    const QString folder = QFileInfo(outputFile_).absolutePath();
    WorkFolder::SweepFolder(folder);
    const WorkFolder work(folder);
    if (!work.Valid()) {
        return QStringLiteral("The output folder %1 cannot be written: %2.")
            .arg(folder, work.ErrorText());
    }
    CutContext context;
    context.input = inputFile_;
    context.product = work.Piece(QFileInfo(outputFile_).fileName());
    context.length = static_cast<double>(fileTimeLength_);
    context.request = CutRequest::Parse(parametrs_);
    context.work = &work;
    if (!context.request.problem.isEmpty()) {
        return context.request.problem;
    }
    context.facts = ProbeSource();
    // The encoder's words about a piece name the piece; the user knows the output's name.
    const auto told = [&](QString text) {
        return text.replace(context.product, outputFile_).replace(work.Path(), folder);
    };

    const std::unique_ptr<CutPlan> plan = CutPlanning::Choose(context);
    doneShare_ = 0;
    QHash<QString, QString> productOutputs; // the console output of the run that wrote each piece
    if (stopped_) {
        return {};
    }
    PlanAnswer answer = plan->Next(nullptr);
    // A plan ends after a few steps; the bound only keeps a faulty one from running forever.
    for (int steps = 0; steps < 1000; ++steps) {
        if (stopped_) {
            return {};
        }
        if (answer.kind == PlanAnswer::Kind::Failed) {
            return told(answer.problem);
        }
        if (answer.kind == PlanAnswer::Kind::Run) {
            const StepResult result = RunStep(answer.step);
            if (stopped_) {
                return {};
            }
            if (!answer.step.product.isEmpty()) {
                productOutputs.insert(answer.step.product, result.outputs);
            }
            answer = plan->Next(&result);
            continue;
        }
        const QString problem = ProductProblem(answer.product, productOutputs.value(answer.product),
                                               answer.expect.seconds, answer.expect.maxBytes);
        if (stopped_) {
            return {};
        }
        if (!problem.isEmpty()) {
            answer = plan->Rejected(problem);
            continue;
        }
        const QString naming = Publish(answer.product);
        if (!naming.isEmpty()) {
            return naming;
        }
        completed_ = true;
        notice_ = plan->Notice();
        return {};
    }
    return QStringLiteral("The cut did not come to an end.");
}

// What the prober says of the input; nothing when there is no prober or it cannot read it (the
// encoder then tells what is wrong).
SourceFacts CVideoConv::ProbeSource() {
    const QFileInfo prober(EncoderWording::ProberProgram());
    if (!prober.isAbsolute() || !prober.isExecutable()) {
        return {};
    }
    QString line = EncoderWording::ProberCommand();
    for (const QString& argument : SourceFacts::ProbeArguments(inputFile_)) {
        line += QLatin1Char(' ') + CommandLine::QuoteArgumentIfNeeded(argument);
    }
    const QString described = Checker()->ExecuteCommand(line);
    return checker_->LastChildEnding().ExitedWithZero() ? SourceFacts::Parse(described)
                                                        : SourceFacts();
}

StepResult CVideoConv::RunStep(const PlanStep& step) {
    StepResult result;
    result.step = step;
    const bool encoder = step.program == PlanStep::Program::Encoder;
    QString line = encoder ? EncoderWording::EncoderCommand() : EncoderWording::ProberCommand();
    for (const QString& argument : step.arguments) {
        line += QLatin1Char(' ') + CommandLine::QuoteArgumentIfNeeded(argument);
    }
    stepShare_ = step.share;
    stepSeconds_ = encoder ? step.mediaSeconds : -1;
    unfinishedLine_.clear();
    DOSOutputs* runner = Runner();
    result.outputs = runner->ExecuteCommand(line);
    result.ending = runner->LastChildEnding();
    doneShare_ += step.share;
    if (stopped_) {
        return result;
    }
    if (encoder) {
        result.ok = EncoderWording::EncodingBegan(result.outputs) && result.ending.ExitedWithZero();
    } else {
        result.ok = result.ending.ExitedWithZero();
    }
    if (!result.ok) {
        result.problem = StepProblem(step, result.outputs);
    }
    return result;
}

namespace {

// The text without the lines in which a codec library reports its work.
QString WithoutInformation(const QString& text) {
    QStringList kept;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (!EncoderWording::IsInformational(line.trimmed())) {
            kept.append(line);
        }
    }
    return kept.join(QLatin1Char('\n'));
}

} // namespace

// Why a run that did not go well failed, in the program's own words where it has any.
QString CVideoConv::StepProblem(const PlanStep& step, const QString& outputs) const {
    if (step.program == PlanStep::Program::Encoder && EncoderWording::EncodingBegan(outputs)) {
        return FailureDetail(outputs);
    }
    // The run never began its work: the encoder could not start, or refused its input or
    // arguments. What follows its preamble is its error, unless it failed before it had
    // described the output; a program ended from outside is said so.
    QString detail = WithoutInformation(ExtractEncoderMessage(outputs));
    if (EncoderWording::FailureLines(detail).isEmpty()) {
        const QString failures = EncoderWording::FailureLines(outputs);
        detail = failures.isEmpty() ? detail : failures;
    }
    if (objDOS->LastChildEnding().kind == ChildProcess::Ending::Kind::Signalled &&
        EncoderWording::FailureLines(detail).isEmpty()) {
        return FailureDetail(outputs);
    }
    return detail;
}

// The encoder began and then failed: its own error lines, and how it ended when a signal ended
// it or it said nothing of why.
QString CVideoConv::FailureDetail(const QString& outputs) const {
    const QString words = EncoderWording::FailureLines(ExtractEncoderMessage(outputs));
    const ChildProcess::Ending ending = objDOS->LastChildEnding();
    QString how;
    if (ending.kind == ChildProcess::Ending::Kind::Signalled) {
        how = QStringLiteral("The encoder was ended by signal %1 (%2).")
                  .arg(ending.value)
                  .arg(QString::fromLocal8Bit(strsignal(ending.value)));
    } else if (words.isEmpty()) {
        how = QStringLiteral("The encoder failed with exit status %1.").arg(ending.value);
    }
    if (words.isEmpty()) {
        return how;
    }
    return how.isEmpty() ? words : words + QLatin1Char('\n') + how;
}

// Reads the finished product back; empty when it is what its encoder announced and the plan
// expects.
QString CVideoConv::ProductProblem(const QString& product, const QString& encoderOutputs,
                                   double expectedSeconds, qint64 maxBytes) {
    const OutputCheck::Streams announced = OutputCheck::AnnouncedStreams(encoderOutputs);
    const QString reading =
        Checker()->ExecuteCommand(OutputCheck::ReadingCommand(product, announced));
    if (stopped_) {
        return {};
    }
    OutputCheck::Facts facts =
        OutputCheck::ReadFacts(reading, checker_->LastChildEnding().ExitedWithZero());
    const QFileInfo file(product);
    facts.bytes = file.exists() ? file.size() : -1;
    OutputCheck::Expectation expect;
    expect.seconds = expectedSeconds;
    expect.maxBytes = maxBytes;
    return OutputCheck::Problem(announced, facts, expect);
}

// Gives the checked product the output's name, or the next free one when something took that
// name while the cut ran; the detail of a failure, else empty.
QString CVideoConv::Publish(const QString& product) {
    const QFileInfo planned(outputFile_);
    QString target = outputFile_;
    for (int attempt = 0; attempt < 5 && !target.isEmpty(); ++attempt) {
        const int error = WorkFolder::MoveNoReplace(product, target);
        if (error == 0) {
            outputFile_ = target;
            return {};
        }
        if (error != EEXIST) {
            return QStringLiteral("The finished cut could not be named %1: %2.")
                .arg(target, QString::fromLocal8Bit(std::strerror(error)));
        }
        target = OutputNaming::FreeOutputName(planned.absolutePath(), inputFile_, planned.suffix());
    }
    return QStringLiteral("Every name for the finished cut in %1 is taken.")
        .arg(planned.absolutePath());
}

void CVideoConv::StopConversion() {
    stopped_ = true;
    if (objDOS) {
        objDOS->SetStopConvert(true);
    }
    if (checker_) {
        checker_->SetStopConvert(true);
    }
}

void CVideoConv::AbandonConversion() {
    abandoned_ = true;
    StopConversion();
}

bool CVideoConv::IsFileSupported(const QString& sMediaFile) {
    bool supported = false;
    const bool completed = GuardedRun(QStringLiteral("CVideoConv.IsFileSupported"), [&] {
        DOSOutputs* runner = Runner();
        runInput_ = sMediaFile;
        unfinishedLine_.clear();
        doneShare_ = 0;
        stepShare_ = 1;
        stepSeconds_ = static_cast<double>(fileTimeLength_);
        runner->SetCommandLine(EncoderWording::EncoderCommand() + QStringLiteral(" -i ") +
                               CommandLine::QuoteArgument(sMediaFile));
        Platform::ProcessEvents();
        // Only the encoder's error line for this input says no; an empty result (the encoder
        // could not be started, already reported) counts as readable.
        supported = !EncoderWording::IsUnknownFormat(runner->ExecuteCommand(QString()), sMediaFile);
    });
    return completed && supported;
}

QString CVideoConv::RunOutputs() const {
    return objDOS ? objDOS->Outputs() : QString();
}

QString CVideoConv::BuildCommandLine() const {
    return ConversionCommand::Build(EncoderWording::EncoderCommand(), inputFile_, parametrs_,
                                    outputFile_);
}

// Cuts the encoder's preamble (banner, input description, stream mapping) off its output, so that
// the error text after it is what the user sees. A line break is an LF, with or without a CR
// before it; the result starts with the LF of the last line break skipped.
QString CVideoConv::ExtractEncoderMessage(const QString& sOutputs) {
    if (std::all_of(sOutputs.cbegin(), sOutputs.cend(),
                    [](QChar character) { return character == QLatin1Char(' '); })) {
        return {};
    }
    const EncoderWording::PreambleMarker marker = EncoderWording::FindPreambleMarker(sOutputs);
    if (marker.position < 0) {
        return {};
    }
    qsizetype current = marker.position;
    qsizetype lastBreak = -1; // the LF found by the last search, -1 when it found none
    for (int skipped = 0; skipped < marker.lineBreaks; ++skipped) {
        lastBreak = sOutputs.indexOf(QLatin1Char('\n'), current);
        // The next search starts after this break; after a failed one it starts from the top.
        current = lastBreak < 0 ? 0 : lastBreak + 1;
    }
    if (lastBreak < 0) {
        return sOutputs;
    }
    // The 5.x encoder prints more indented lines under each preamble line than older builds
    // (configuration and library versions under "built with", metadata under "Input #", one line
    // per stream under "Stream mapping:"); they belong to the preamble as well.
    while (lastBreak + 1 < sOutputs.size() && IsBlank(sOutputs.at(lastBreak + 1))) {
        const qsizetype next = sOutputs.indexOf(QLatin1Char('\n'), lastBreak + 1);
        if (next < 0) {
            break;
        }
        lastBreak = next;
    }
    return sOutputs.mid(lastBreak);
}

void CVideoConv::objDOS_ReceiveOutputs(QString& CommandOutputs) {
    // Nothing escapes this handler: a piece whose reading or announcing fails is skipped.
    RunGuarded([&] {
        if (stepSeconds_ < 0) {
            // A run that tells no progress (the prober's): only the runner's own "Cancelled".
            if (CommandOutputs == QLatin1String("Cancelled")) {
                RaiseStatus(CommandOutputs);
            }
            return;
        }
        const ProgressReading reading = ReadProgressPiece(
            CommandOutputs, unfinishedLine_, runInput_, static_cast<float>(stepSeconds_));
        if (reading.status) {
            RaiseStatus(*reading.status);
        }
        if (!reading.progress) {
            return;
        }
        qint16 progress = *reading.progress;
        // A plan of one run shows that run's percentage as it is; one of several moves the bar
        // over the runs' parts in turn.
        if (progress >= 0 && !(doneShare_ == 0 && stepShare_ == 1)) {
            const double within = std::clamp(progress / 100.0, 0.0, 1.0);
            progress = static_cast<qint16>(
                RoundHalfEven(std::clamp(doneShare_ + stepShare_ * within, 0.0, 1.0) * 100.0));
        }
        RaiseProgress(progress);
    });
}

void CVideoConv::RaiseStatus(const QString& sStatus) {
    QString status = sStatus;
    emit CurrentStatus(status);
}

void CVideoConv::RaiseProgress(qint16 iProgress) {
    emit Progress(iProgress);
}
