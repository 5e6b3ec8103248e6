// Rounding of pixel coordinates to pixel indices, as every ray walk and circle sample does it.
#pragma once

#include <cmath>

namespace qcl {

// Below this magnitude the whole part fits an int with room for the step up.
constexpr double kRoundHalfAwayLimit = 1073741824.0;  // 2^30

// The index of the pixel under a coordinate above -0.5 (and below kRoundHalfAwayLimit),
// rounding half away from zero like std::lround: v minus its whole part is exact, so halves go
// up. No library call and no range test: this is made once per pixel of every ray walk, whose
// callers have already kept the coordinate inside the image.
inline int roundedIndex(double v) {
    const int whole = static_cast<int>(v);
    return v - whole >= 0.5 ? whole + 1 : whole;
}

// std::lround for any coordinate; larger values, infinities and NaN are left to the library.
inline int roundHalfAway(double v) {
    if (!(std::abs(v) < kRoundHalfAwayLimit)) {
        return static_cast<int>(std::lround(v));
    }
    return v >= 0.0 ? roundedIndex(v) : -roundedIndex(-v);
}

}  // namespace qcl
