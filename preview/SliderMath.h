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

// The seek slider's fixed measures in logical pixels, shared by its input and its drawing: a
// left end cap, the track, a right end cap, and the handle that moves along the track. For the
// vertical style the same measures run from the top down (the right cap on top).
namespace SliderGeometry {

// Across the track: the height of the horizontal slider, the width of the vertical one.
inline constexpr int Thickness = 20;
inline constexpr int LeftCapLength = 11;
inline constexpr int RightCapLength = 14;
inline constexpr int HandleLength = 19;
inline constexpr double HalfHandle = HandleLength / 2.0;
// The part of the slider's length that no value lies on: both caps and the handle.
inline constexpr double UnusedLength = LeftCapLength + RightCapLength + HandleLength;
// The shortest slider: both caps and twice the handle.
inline constexpr int MinimumLength = LeftCapLength + RightCapLength + 2 * HandleLength;
// The pointer position that reads as the lowest value.
inline constexpr double PointerOrigin = 19.0;
// How near either end the pointer may hold the handle's centre: from the first position, to
// the end cap and half a handle before the far end.
inline constexpr double PointerFirst = 19.5;
inline constexpr double PointerEndMargin = RightCapLength + HalfHandle;

} // namespace SliderGeometry
