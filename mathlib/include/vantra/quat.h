#pragma once

#include <cfloat>
#include <cmath>
#include <type_traits>

#include "vantra/export.h"
#include "vantra/matrix.h"
#include "vantra/vector.h"

namespace vantra {

// Rotation quaternion, vector part first and scalar last; (0, 0, 0, 1) is the
// identity. Nothing normalises it.
class VANTRA_API Quat {
 public:
  float x;
  float y;
  float z;
  float w;

  // Writes nothing.
  VANTRA_INLINE Quat() {}
  Quat(const Vector& axis, float angle);
  Quat(const Matrix& m);
  Quat(float yaw, float pitch, float roll);
  Quat(const Quat&) = default;
  Quat& operator=(const Quat&) = default;

  // The rotation of this followed by the rotation of q.
  VANTRA_INLINE Quat operator*(const Quat& q) const {
    Quat c = *this;
    c.multQuat(q);
    return c;
  }
  VANTRA_INLINE Quat& operator*=(const Quat& q) { return multQuat(q); }
  VANTRA_INLINE Quat& multQuat(const Quat& q) {
    MultQuat(*this, *this, q);
    return *this;
  }

  VANTRA_INLINE void makeIdentity() {
    x = y = z = 0.0f;
    w = 1.0f;
  }
  // Exact on purpose, unlike Matrix::isIdentity.
  VANTRA_INLINE bool isIdentity() const { return x == 0.0f && y == 0.0f && z == 0.0f && w == 1.0f; }

  VANTRA_INLINE Quat& interpolateSpherical(const Quat& a, const Quat& b, float t);
  void toAxisAngle(Vector& axis, float& angle);
  void toRotationMatrix(Matrix& m);

 private:
  // out = a followed by b. Both operands are read whole before out is
  // written, so out may be a, b or both (a product with itself).
  VANTRA_INLINE static void MultQuat(Quat& out, const Quat& a, const Quat& b) {
    const float ax = a.x, ay = a.y, az = a.z, aw = a.w;
    const float bx = b.x, by = b.y, bz = b.z, bw = b.w;
    out.x = bw * ax + bx * aw + by * az - bz * ay;
    out.y = bw * ay - bx * az + by * aw + bz * ax;
    out.z = bw * az + bx * ay - by * ax + bz * aw;
    out.w = bw * aw - bx * ax - by * ay - bz * az;
  }
};

// Shortest arc: b is negated when the two lie in opposite hemispheres. Nearly
// parallel inputs blend linearly, where sin(theta) would lose all precision.
// With sin(theta) = s and cos(theta) = d, sin((1 - t) theta) / s expands to
// cos(t theta) - d sin(t theta) / s: one sine-cosine pair (computed together)
// and one division. Inline because the call and the reloads around it cost
// a tenth of the whole.
VANTRA_INLINE Quat& Quat::interpolateSpherical(const Quat& a, const Quat& b, float t) {
  const float dot = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  const float sign = dot >= 0.0f ? 1.0f : -1.0f;
  const float d = sign * dot;
  float k0 = 1.0f - t;
  float k1 = t;
  if (1.0f - d > FLT_EPSILON) {
    // 1 - d^2 in double loses nothing near d = 1, so s is the sine of
    // acos(d) to the last float bit and the cheaper acos gives the angle
    // atan2(s, d) would.
    const double dd = d;
    const float s = static_cast<float>(std::sqrt(1.0 - dd * dd));
    const float theta = std::acos(d);
    const float st = std::sin(t * theta), ct = std::cos(t * theta);
    k1 = st / s;
    k0 = ct - d * k1;
  }
  k1 *= sign;
  const Quat qa = a, qb = b;
  x = k0 * qa.x + k1 * qb.x;
  y = k0 * qa.y + k1 * qb.y;
  z = k0 * qa.z + k1 * qb.z;
  w = k0 * qa.w + k1 * qb.w;
  return *this;
}

static_assert(sizeof(Quat) == 16, "Quat is four packed floats");
static_assert(std::is_trivially_copyable<Quat>::value, "Quat is copied as raw floats");
static_assert(std::is_standard_layout<Quat>::value, "Quat shares the graphics extension's layout");

}  // namespace vantra
