#include "engine/ProgressReading.h"

#include "engine/EncoderWording.h"
#include "engine/Rounding.h"

#include <algorithm>
#include <cstdint>

namespace {

// The longest unfinished line kept between pieces: an error line with the longest path.
constexpr qsizetype kLongestLine = 8192;

// Only the first "time=" of a piece counts; no state is kept between pieces.
ProgressReading HandleProgressTime(const QString& CommandOutputs, float fileTimeLength) {
    QString timeText;
    if (!EncoderWording::FindProgressTime(CommandOutputs, &timeText)) {
        return {};
    }
    if (!(fileTimeLength > 0.0F)) {
        return {timeText + QStringLiteral(" Seconds Converted"), std::nullopt};
    }
    const std::optional<double> seconds = EncoderWording::ProgressTimeSeconds(timeText);
    if (!seconds) {
        return {};
    }
    const std::optional<std::int32_t> wholeSeconds = RoundToInt32(*seconds);
    if (!wholeSeconds) {
        return {};
    }
    const double percent = RoundHalfEven(static_cast<double>(*wholeSeconds) /
                                         static_cast<double>(fileTimeLength) * 100.0);
    if (!(percent >= -32768.0 && percent <= 32767.0)) {
        return {}; // the percentage is a 16-bit number; a value outside it is skipped
    }
    return {std::nullopt, static_cast<qint16>(percent)};
}

} // namespace

ProgressReading ReadProgressPiece(const QString& piece, QString& unfinishedLine,
                                  const QString& runInput, float fileTimeLength) {
    const QString lines = unfinishedLine + piece;
    const qsizetype lastBreak =
        std::max(lines.lastIndexOf(QLatin1Char('\n')), lines.lastIndexOf(QLatin1Char('\r')));
    unfinishedLine = lines.mid(lastBreak + 1).right(kLongestLine);
    if (EncoderWording::IsUnknownFormat(lines, runInput)) {
        return {QStringLiteral("Unknown format"), qint16(-1)};
    }
    if (piece == QLatin1String("Cancelled")) {
        return {QStringLiteral("Cancelled"), std::nullopt};
    }
    return HandleProgressTime(piece, fileTimeLength);
}
