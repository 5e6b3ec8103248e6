// Angles in radians, as every polar measurement of the reader and the writer uses them.
#pragma once

namespace qcl {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;  // 6.283185307179586
constexpr double kDegree = kPi / 180.0;

}  // namespace qcl
