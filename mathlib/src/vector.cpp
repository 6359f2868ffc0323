#include "vantra/vector.h"

#include <cmath>

#include "numeric_rules.h"
#include "point_kernels.h"

namespace vantra {

// The two squared lengths are multiplied first so that one square root suffices.
float Vector::angleBetween(const Vector& v) const {
  return std::acos((*this % v) / std::sqrt(magnitudeSquare() * v.magnitudeSquare()));
}

Vector& Vector::interpolateCosine(const Vector& a, const Vector& b, float t) {
  const float k = 1.0f - std::cos(t * 3.1415927f);
  x = a.x + (b.x - a.x) * k * 0.5f;
  y = a.y + (b.y - a.y) * k * 0.5f;
  z = a.z + (b.z - a.z) * k * 0.5f;
  return *this;
}

void Vector::TransformPoints(Vector* out, const Vector* in, int count, const Matrix& m) {
  kernels::TransformPoints(kernels::Widest(), out, in, count, m);
}

void Vector::round() {
  x = rules::RoundThreeDecimals(x);
  y = rules::RoundThreeDecimals(y);
  z = rules::RoundThreeDecimals(z);
}

void Vector::zeroClamp() {
  x = rules::ZeroClamp(x);
  y = rules::ZeroClamp(y);
  z = rules::ZeroClamp(z);
}

}  // namespace vantra
