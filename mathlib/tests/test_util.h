#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "vantra/vantra.h"

namespace vantra {

inline ::testing::AssertionResult Near(const Vector& a, const Vector& b, float tol = 1e-5f) {
  if (std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol && std::fabs(a.z - b.z) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") vs ("
                                       << b.x << ", " << b.y << ", " << b.z << ")";
}

inline ::testing::AssertionResult Near(const Matrix& a, const Matrix& b, float tol = 1e-5f) {
  for (int i = 0; i < 16; ++i)
    if (!(std::fabs(a[i] - b[i]) <= tol))
      return ::testing::AssertionFailure() << "element " << i << ": " << a[i] << " vs " << b[i];
  return ::testing::AssertionSuccess();
}

inline Vector Row(const Matrix& m, int r) { return Vector(m(r, 0), m(r, 1), m(r, 2)); }

inline Matrix Identity() {
  Matrix m;
  m.makeIdentity();
  return m;
}

// Seeded so that a failing case can be reproduced.
class Random {
 public:
  explicit Random(unsigned seed) : _engine(seed) {}
  float uniform(float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(_engine);
  }
  float angle() { return uniform(-3.1f, 3.1f); }
  Vector vector(float extent) {
    return Vector(uniform(-extent, extent), uniform(-extent, extent), uniform(-extent, extent));
  }

 private:
  std::mt19937 _engine;
};

}  // namespace vantra
