#pragma once

#include "engine/Rounding.h"

#include <QtGlobal>
#include <cmath>
#include <stdexcept>

// Checked 32-bit arithmetic of the seek slider. The slider keeps its range in 32-bit signed
// integers; a sum or difference that leaves that range is an error of the operation that needed
// it and is thrown as std::overflow_error, never wrapped around.
namespace SliderMath {

inline qint32 Add(qint32 a, qint32 b) {
    qint32 result = 0;
    if (__builtin_add_overflow(a, b, &result)) {
        throw std::overflow_error("Overflow in the slider's arithmetic");
    }
    return result;
}

inline qint32 Subtract(qint32 a, qint32 b) {
    qint32 result = 0;
    if (__builtin_sub_overflow(a, b, &result)) {
        throw std::overflow_error("Overflow in the slider's arithmetic");
    }
    return result;
}

// A real rounded half to even into a 32-bit integer; a result outside the range is an overflow.
inline qint32 Round(double value) {
    const auto rounded = RoundToInt32(value);
    if (!rounded) {
        throw std::overflow_error("Overflow in the slider's arithmetic");
    }
    return *rounded;
}

// A whole number held within the 32-bit range (not a number gives `fallback`).
inline qint32 Saturate(double value, qint32 fallback) {
    if (std::isnan(value)) {
        return fallback;
    }
    return static_cast<qint32>(qBound(-2147483648.0, value, 2147483647.0));
}

// A drawing position rounded half to even and held within +-2^28, far outside any canvas, so
// that a selection mark far outside the range still lands off the canvas instead of overflowing.
inline int Position(double value) {
    constexpr double limit = 268435456.0;
    const double rounded = RoundHalfEven(value);
    if (std::isnan(rounded)) {
        return 0;
    }
    return static_cast<int>(qBound(-limit, rounded, limit));
}

} // namespace SliderMath
