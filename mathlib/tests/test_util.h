#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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

// The product element by element as the library defines it: three fused
// multiply-adds where the processor has AVX and FMA, otherwise a plain sum
// rounded after every operation.
inline Matrix ExpectedProduct(const Matrix& a, const Matrix& b) {
  const bool fused = __builtin_cpu_supports("avx") && __builtin_cpu_supports("fma");
  Matrix out;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      float sum = a(r, 0) * b(0, c);
      for (int k = 1; k < 4; ++k) {
        // Rounded on its own even where the compiler may fuse a * b + c.
        const volatile float term = a(r, k) * b(k, c);
        sum = fused ? std::fma(a(r, k), b(k, c), sum) : sum + term;
      }
      out(r, c) = sum;
    }
  return out;
}

template <typename T>
bool SameBits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
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
