#pragma once

#include "vantra/export.h"
#include "vantra/ray.h"
#include "vantra/vector.h"

namespace vantra {

// Points p with normal . p + d > 0 lie on the side the normal points to.
class VANTRA_API Plane {
 public:
  // Writes nothing; users assign or create the plane before reading it.
  VANTRA_INLINE Plane() {}
  VANTRA_INLINE Plane(const Vector& normal, float d) : _normal(normal), _d(d) {}
  VANTRA_INLINE Plane(const Vector& p0, const Vector& p1, const Vector& p2) { create(p0, p1, p2); }
  Plane(const Plane&) = default;
  Plane& operator=(const Plane&) = default;

  // Unit normal (p1 - p0) x (p2 - p0): the argument order sets the side.
  VANTRA_INLINE void create(const Vector& p0, const Vector& p1, const Vector& p2) {
    Vector n = (p1 - p0) ^ (p2 - p0);
    n *= 1.0f / std::sqrt(n.magnitudeSquare());
    _normal = n;
    _d = -(n % p0);
  }
  VANTRA_INLINE void create(const Vector& normal, float d) {
    _normal = normal;
    _d = d;
  }
  VANTRA_INLINE void create(const Plane& other) { *this = other; }

  VANTRA_INLINE float distanceFromPoint(const Vector& p) const { return _normal % p + _d; }
  // The point may lie behind the ray's origin; a parallel ray gives non-finite values.
  const Vector& intersectionPointWithRay(const Ray& ray, Vector& result) const;
  // True only for a ray running parallel to the plane.
  bool doesIntersectRay(const Ray& ray) const;
  // Writes d * normal, which lies on the plane only when d is 0.
  const Vector& validPointInPlane2(Vector& result) const;

  bool operator==(const Plane& other);

 private:
  // Box tests share the products of the normal with the corners' coordinates.
  friend class BoundingBox;

  // A point of a plane whose normal lies along a coordinate axis.
  const Vector& validPointInPlane(Vector& result) const;

  Vector _normal;
  float _d;
};

}  // namespace vantra
