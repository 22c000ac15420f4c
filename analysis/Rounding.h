#pragma once

// The two conversions from floating point to integer that the display
// arithmetic uses, never interchanged: Round (to nearest, ties to even) and
// Trunc (toward zero). Both take the x87 extended value the expressions are
// evaluated in, so nothing is rounded to double on the way.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace rounding {

inline constexpr long double kInt64Limit = 0x1p63L;

// Round to nearest, ties to even, for |v| < 2⁶³. llrint rounds in the current
// mode, which is the default nearest-even one, like nearbyint; unlike
// nearbyintl it needs no saving and restoring of the floating-point
// environment, which made it the slowest step of the per-block routines.
inline int64_t RoundToInt64(long double v) {
    return std::llrint(v);
}

// Trunc toward zero into int64, saturating, NaN giving 0: the plain cast is
// undefined for values out of range, which only broken inputs can produce.
// Built on the nearest-even conversion and a correction step, because a
// truncating x87 conversion has to switch the control word twice per value.
inline int64_t TruncSaturating(long double v) {
    if (std::isnan(v)) return 0;
    if (v >= kInt64Limit) return std::numeric_limits<int64_t>::max();
    if (v <= -kInt64Limit) return std::numeric_limits<int64_t>::min();
    int64_t r = RoundToInt64(v);
    if (v >= 0 && static_cast<long double>(r) > v)
        --r;
    else if (v < 0 && static_cast<long double>(r) < v)
        ++r;
    return r;
}

inline int32_t ClampToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

} // namespace rounding
