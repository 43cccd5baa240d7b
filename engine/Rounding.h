#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

// Every conversion of a real number to an integer in Quenlet takes the nearest integer, a value
// exactly halfway going to the even neighbour (0.5 gives 0, 1.5 gives 2, 2.5 gives 2).
inline double RoundHalfEven(double value) {
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    return whole;
}

// The same rounding into a 32-bit signed integer; nothing when the result does not fit (or the
// value is not a number).
inline std::optional<std::int32_t> RoundToInt32(double value) {
    const double rounded = RoundHalfEven(value);
    if (!(rounded >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(rounded);
}
