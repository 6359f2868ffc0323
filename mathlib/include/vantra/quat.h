#pragma once

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
    const Quat c = *this;
    MultQuat(*this, c, q);
    return *this;
  }

  VANTRA_INLINE void makeIdentity() {
    x = y = z = 0.0f;
    w = 1.0f;
  }
  // Exact on purpose, unlike Matrix::isIdentity.
  VANTRA_INLINE bool isIdentity() const { return x == 0.0f && y == 0.0f && z == 0.0f && w == 1.0f; }

  Quat& interpolateSpherical(const Quat& a, const Quat& b, float t);
  void toAxisAngle(Vector& axis, float& angle);
  void toRotationMatrix(Matrix& m);

 private:
  // out = a followed by b; out must not be a or b.
  VANTRA_INLINE static void MultQuat(Quat& out, const Quat& a, const Quat& b) {
    out.x = b.w * a.x + b.x * a.w + b.y * a.z - b.z * a.y;
    out.y = b.w * a.y - b.x * a.z + b.y * a.w + b.z * a.x;
    out.z = b.w * a.z + b.x * a.y - b.y * a.x + b.z * a.w;
    out.w = b.w * a.w - b.x * a.x - b.y * a.y - b.z * a.z;
  }
};

static_assert(sizeof(Quat) == 16, "Quat is four packed floats");
static_assert(std::is_trivially_copyable<Quat>::value, "Quat is copied as raw floats");
static_assert(std::is_standard_layout<Quat>::value, "Quat shares the graphics extension's layout");

}  // namespace vantra
