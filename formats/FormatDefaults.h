#pragma once

#include <QLatin1String>

// What the custom format's text boxes hold before the user or the remembered settings change
// them, and what the remembered settings restore when nothing (or nothing usable) is stored.
namespace FormatDefaults {

inline constexpr QLatin1String AudioBitrate("64"); // kbps
inline constexpr QLatin1String Channels("2");
inline constexpr QLatin1String VideoBitrate("320"); // kbps
inline constexpr QLatin1String FrameRate("25");     // frames a second

} // namespace FormatDefaults
