#pragma once

#include <cmath>
#include <type_traits>

#include "vantra/export.h"

namespace vantra {

class Matrix;

// Library-wide comparison tolerance, 1025 * 2^-21 (bit pattern 0x3A002000).
constexpr float EPSILON = 0x1.004p-11f;

// Inclusive on both bounds; a NaN operand fails both comparisons.
inline bool floatEquals(float a, float b) { return a - EPSILON <= b && b <= a + EPSILON; }

// Float pi times 1/180 in double, so degree conversions round only once.
inline float degreesToRadians(float d) {
  return static_cast<float>(static_cast<double>(d) * static_cast<double>(3.1415927f) *
                            0.005555555555555556);
}

inline float interpolateCosine(float a, float b, float t) {
  return a + (1.0f - std::cos(t * 3.1415927f)) * (b - a) * 0.5f;
}

// Three single-precision components; row vector, left-handed coordinates.
class VANTRA_API Vector {
 public:
  float x;
  float y;
  float z;

  // Writes nothing: large arrays of vectors are filled by their users.
  VANTRA_INLINE Vector() {}
  VANTRA_INLINE Vector(float s) : x(s), y(s), z(s) {}
  VANTRA_INLINE Vector(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
  Vector(const Vector&) = default;
  Vector& operator=(const Vector&) = default;

  VANTRA_INLINE void set(float x_, float y_, float z_) {
    x = x_;
    y = y_;
    z = z_;
  }
  VANTRA_INLINE void clear() { x = y = z = 0.0f; }

  VANTRA_INLINE bool operator==(const Vector& v) const {
    return floatEquals(v.x, x) && floatEquals(v.y, y) && floatEquals(v.z, z);
  }
  VANTRA_INLINE bool operator!=(const Vector& v) const { return !(*this == v); }
  // Both compare the squared length, which avoids a square root.
  VANTRA_INLINE bool isUnit() const { return floatEquals(magnitudeSquare(), 1.0f); }
  VANTRA_INLINE bool isZero() const { return floatEquals(magnitudeSquare(), 0.0f); }

  VANTRA_INLINE Vector operator+(const Vector& v) const {
    return Vector(x + v.x, y + v.y, z + v.z);
  }
  VANTRA_INLINE Vector operator+(float s) const { return Vector(x + s, y + s, z + s); }
  VANTRA_INLINE Vector operator-(const Vector& v) const {
    return Vector(x - v.x, y - v.y, z - v.z);
  }
  VANTRA_INLINE Vector operator-(float s) const { return Vector(x - s, y - s, z - s); }
  VANTRA_INLINE Vector operator*(const Vector& v) const {
    return Vector(x * v.x, y * v.y, z * v.z);
  }
  VANTRA_INLINE Vector operator*(float s) const { return Vector(x * s, y * s, z * s); }
  VANTRA_INLINE Vector operator/(const Vector& v) const {
    return Vector(x / v.x, y / v.y, z / v.z);
  }
  // One float reciprocal, so scalar division matches multiplication by 1/s.
  VANTRA_INLINE Vector operator/(float s) const {
    const float r = 1.0f / s;
    return Vector(x * r, y * r, z * r);
  }
  VANTRA_INLINE Vector operator^(const Vector& v) const {
    return Vector(y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x);
  }
  VANTRA_INLINE Vector crossProduct(const Vector& v) const { return *this ^ v; }

  VANTRA_INLINE float operator%(const Vector& v) const { return x * v.x + y * v.y + z * v.z; }
  VANTRA_INLINE float dotProduct(const Vector& v) const { return *this % v; }
  VANTRA_INLINE float magnitudeSquare() const { return x * x + y * y + z * z; }
  float angleBetween(const Vector& v) const;

  VANTRA_INLINE Vector& operator+=(const Vector& v) {
    x += v.x;
    y += v.y;
    z += v.z;
    return *this;
  }
  VANTRA_INLINE Vector& operator+=(float s) {
    x += s;
    y += s;
    z += s;
    return *this;
  }
  VANTRA_INLINE Vector& operator-=(const Vector& v) {
    x -= v.x;
    y -= v.y;
    z -= v.z;
    return *this;
  }
  VANTRA_INLINE Vector& operator-=(float s) {
    x -= s;
    y -= s;
    z -= s;
    return *this;
  }
  VANTRA_INLINE Vector& operator*=(const Vector& v) {
    x *= v.x;
    y *= v.y;
    z *= v.z;
    return *this;
  }
  VANTRA_INLINE Vector& operator*=(float s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
  VANTRA_INLINE Vector& operator/=(const Vector& v) {
    x /= v.x;
    y /= v.y;
    z /= v.z;
    return *this;
  }
  VANTRA_INLINE Vector& operator/=(float s) {
    const float r = 1.0f / s;
    x *= r;
    y *= r;
    z *= r;
    return *this;
  }
  VANTRA_INLINE Vector& operator^=(const Vector& v) {
    *this = *this ^ v;
    return *this;
  }

  // Returns the length before normalisation; a zero vector becomes NaN.
  VANTRA_INLINE float normalize() {
    const float length = std::sqrt(magnitudeSquare());
    *this *= 1.0f / length;
    return length;
  }
  VANTRA_INLINE Vector& negate() { return *this *= -1.0f; }
  VANTRA_INLINE Vector& scale(float s) { return *this *= s; }
  VANTRA_INLINE Vector& scale(const Vector& v) { return *this *= v; }
  VANTRA_INLINE Vector& translate(float s) { return *this += s; }
  VANTRA_INLINE Vector& translate(const Vector& v) { return *this += v; }
  // As a point (w = 1); column 3 of m is ignored. Defined in matrix.h.
  VANTRA_INLINE Vector& transform(const Matrix& m);
  // transform() over count points from in into out, which may be in itself
  // but must not otherwise overlap it. Uses the widest vector unit the
  // processor has, so results may differ from transform() in the last bit.
  static void TransformPoints(Vector* out, const Vector* in, int count, const Matrix& m);
  VANTRA_INLINE Vector& interpolateLinear(const Vector& a, const Vector& b, float t) {
    x = a.x + (b.x - a.x) * t;
    y = a.y + (b.y - a.y) * t;
    z = a.z + (b.z - a.z) * t;
    return *this;
  }
  Vector& interpolateCosine(const Vector& a, const Vector& b, float t);
  void round();
  void zeroClamp();
};

static_assert(sizeof(Vector) == 12, "Vector is three packed floats");
static_assert(std::is_trivially_copyable<Vector>::value, "Vector is copied as raw floats");
static_assert(std::is_standard_layout<Vector>::value,
              "Vector shares the graphics interface's layout");

}  // namespace vantra

#include "vantra/matrix.h"
