#include "engine/CVideoConv.h"

#include "engine/CommandLine.h"
#include "engine/ConversionCommand.h"
#include "engine/DOSOutputs.h"
#include "engine/EncoderWording.h"
#include "engine/HandlerGuard.h"
#include "engine/OutputCheck.h"
#include "engine/Platform.h"
#include "engine/ProgressReading.h"

#include <QFileInfo>

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

bool IsBlank(QChar character) {
    return character == QLatin1Char(' ') || character == QLatin1Char('\t');
}

} // namespace

CVideoConv::CVideoConv(QObject* parent) : QObject(parent) {}

CVideoConv::~CVideoConv() = default;

DOSOutputs* CVideoConv::Runner() {
    if (!objDOS) {
        objDOS = std::make_unique<DOSOutputs>();
        connect(objDOS.get(), &DOSOutputs::ReceiveOutputs, this, &CVideoConv::objDOS_ReceiveOutputs,
                Qt::DirectConnection);
    }
    return objDOS.get();
}

void CVideoConv::StartConversion() {
    GuardedRun(QStringLiteral("CVideoConv.StartConversion"), [this] {
        DOSOutputs* runner = Runner();
        runInput_ = inputFile_;
        unfinishedLine_.clear();
        runner->SetCommandLine(BuildCommandLine());
        Platform::ProcessEvents();
        RaiseStatus(QStringLiteral("Starting..."));
        const QString outputs = runner->ExecuteCommand(QString());
        completed_ = false;
        QString detail;
        if (!EncoderWording::EncodingBegan(outputs)) {
            // Encoding never began: the encoder could not start, refused its input or
            // arguments, or the run was stopped (then the detail is empty). What follows its
            // preamble is its error, unless it failed before it had described the output.
            detail = ExtractEncoderMessage(outputs);
            if (EncoderWording::FailureLines(detail).isEmpty() && !stopped_) {
                const QString failures = EncoderWording::FailureLines(outputs);
                detail = failures.isEmpty() ? detail : failures;
            }
        } else if (!runner->LastChildEnding().ExitedWithZero()) {
            detail = FailureDetail(outputs);
        } else {
            detail = OutputProblem(outputs);
            completed_ = detail.isEmpty() && !stopped_;
            if (completed_) {
                return;
            }
            if (stopped_) {
                detail.clear(); // stopped while the output was read: a stop, as any other
            }
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

// The encoder began and then failed: its own words, else how it ended.
QString CVideoConv::FailureDetail(const QString& outputs) const {
    const QString words = EncoderWording::FailureText(ExtractEncoderMessage(outputs));
    if (!words.isEmpty()) {
        return words;
    }
    const ChildProcess::Ending ending = objDOS->LastChildEnding();
    if (ending.kind == ChildProcess::Ending::Kind::Signalled) {
        return QStringLiteral("The encoder was ended by signal %1 (%2).")
            .arg(ending.value)
            .arg(QString::fromLocal8Bit(strsignal(ending.value)));
    }
    return QStringLiteral("The encoder failed with exit status %1.").arg(ending.value);
}

// Reads the finished output back; empty when it is what the encoder announced.
QString CVideoConv::OutputProblem(const QString& outputs) {
    if (stopped_) {
        return {};
    }
    if (!checker_) {
        checker_ = std::make_unique<DOSOutputs>();
    }
    const OutputCheck::Streams announced = OutputCheck::AnnouncedStreams(outputs);
    const QString reading =
        checker_->ExecuteCommand(OutputCheck::ReadingCommand(outputFile_, announced));
    if (stopped_) {
        return {};
    }
    const OutputCheck::Facts facts =
        OutputCheck::ReadFacts(reading, checker_->LastChildEnding().ExitedWithZero());
    return OutputCheck::Problem(announced, facts, static_cast<double>(fileTimeLength_));
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
        const ProgressReading reading =
            ReadProgressPiece(CommandOutputs, unfinishedLine_, runInput_, fileTimeLength_);
        if (reading.status) {
            RaiseStatus(*reading.status);
        }
        if (reading.progress) {
            RaiseProgress(*reading.progress);
        }
    });
}

void CVideoConv::RaiseStatus(const QString& sStatus) {
    QString status = sStatus;
    emit CurrentStatus(status);
}

void CVideoConv::RaiseProgress(qint16 iProgress) {
    emit Progress(iProgress);
}
