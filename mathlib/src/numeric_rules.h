#pragma once

#include <cfloat>
#include <cmath>

#include "vantra/vector.h"

// Scalar rules shared by several classes of the library; not installed.
namespace vantra {
namespace rules {

// Keeps three decimals by truncating toward zero, never rounding up:
// 0.7 (stored as 0.699999988) becomes 0.699.
inline float RoundThreeDecimals(float v) {
  double integral = 0.0;
  const double fraction = std::modf(static_cast<double>(v), &integral);
  const double scale = std::pow(10.0, 3);
  // trunc agrees with a conversion to int for |k| < 1000 and lets NaN through.
  const double k = std::trunc(fraction * scale);
  return static_cast<float>(k / scale + integral);
}

// Values strictly closer to zero than EPSILON become +0.0; NaN stays NaN.
inline float ZeroClamp(float v) { return std::fabs(v) < EPSILON ? 0.0f : v; }

// Rotation axes: kept as they are when already unit length to within one
// float ulp, zero when too short to normalise, otherwise scaled by 1/length.
inline Vector NormalizedAxis(const Vector& axis) {
  const float q = axis.magnitudeSquare();
  if (std::fabs(q - 1.0f) <= FLT_EPSILON) return axis;
  if (q <= FLT_MIN) return Vector(0.0f);
  return axis * (1.0f / std::sqrt(q));
}

}  // namespace rules
}  // namespace vantra
