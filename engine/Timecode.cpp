#include "engine/Timecode.h"

#include <QRegularExpression>

#include <cmath>
#include <cstdint>

namespace Timecode {
namespace {

// Frames a drop-frame timecode skips at each minute but every tenth: 2 at 30, 4 at 60.
std::int64_t Dropped(int nominal) {
    return nominal / 15;
}

std::int64_t ToFrames(std::int64_t hours, std::int64_t minutes, std::int64_t seconds,
                      std::int64_t frames, int nominal, bool drop) {
    std::int64_t count = ((hours * 60 + minutes) * 60 + seconds) * nominal + frames;
    if (drop) {
        const std::int64_t allMinutes = hours * 60 + minutes;
        count -= Dropped(nominal) * (allMinutes - allMinutes / 10);
    }
    return count;
}

// The frame count as the timecode's own count, with the skipped numbers put back in.
std::int64_t Numbered(std::int64_t count, int nominal, bool drop) {
    if (!drop) {
        return count;
    }
    const std::int64_t skip = Dropped(nominal);
    const std::int64_t perMinute = nominal * 60 - skip;
    const std::int64_t perTenMinutes = perMinute * 10 + skip;
    const std::int64_t tens = count / perTenMinutes;
    const std::int64_t rest = count % perTenMinutes;
    return count + skip * 9 * tens + (rest >= skip ? skip * ((rest - skip) / perMinute) : 0);
}

QString TwoDigits(std::int64_t value) {
    return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

} // namespace

std::optional<QString> Moved(const QString& timecode, double seconds, double framesPerSecond) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{1,2}):(\\d{2}):(\\d{2})([:;.,])(\\d{2,3})$"));
    const QRegularExpressionMatch match = form.match(timecode.trimmed());
    if (!match.hasMatch() || !(framesPerSecond > 0 && framesPerSecond < 1000) ||
        !std::isfinite(seconds)) {
        return std::nullopt;
    }
    const int nominal = static_cast<int>(std::lround(framesPerSecond));
    const QString separator = match.captured(4);
    const bool drop = separator != QLatin1String(":") && (nominal == 30 || nominal == 60);
    const std::int64_t day = std::int64_t{24} * 3600 * nominal;
    std::int64_t count =
        ToFrames(match.captured(1).toLongLong(), match.captured(2).toLongLong(),
                 match.captured(3).toLongLong(), match.captured(5).toLongLong(), nominal, drop) +
        static_cast<std::int64_t>(std::llround(seconds * framesPerSecond));
    const std::int64_t dayCount = drop ? day - Dropped(nominal) * (24 * 60 - 24 * 6) : day;
    count = ((count % dayCount) + dayCount) % dayCount;
    const std::int64_t numbered = Numbered(count, nominal, drop);
    const std::int64_t totalSeconds = numbered / nominal;
    return TwoDigits(totalSeconds / 3600 % 24) + QLatin1Char(':') +
           TwoDigits(totalSeconds / 60 % 60) + QLatin1Char(':') + TwoDigits(totalSeconds % 60) +
           separator + TwoDigits(numbered % nominal);
}

} // namespace Timecode
