#pragma once

#include <QString>

#include <optional>

// SMPTE timecodes as files carry them ("01:00:00:00", drop-frame "00:59:59;29").
namespace Timecode {

// The timecode `seconds` later at `framesPerSecond` (29.97 and 59.94 drop frames when the
// timecode is written with ";" or "."), wrapping at 24 hours; nothing when `timecode` is not
// one or the rate is unknown.
std::optional<QString> Moved(const QString& timecode, double seconds, double framesPerSecond);

} // namespace Timecode
