#pragma once

#include "vantra/export.h"
#include "vantra/vector.h"

namespace vantra {

class Plane;

// A direction (not normalised here) and a starting point.
class VANTRA_API Ray {
 public:
  // Writes nothing.
  VANTRA_INLINE Ray() {}
  VANTRA_INLINE Ray(const Vector& direction, const Vector& origin)
      : _direction(direction), _origin(origin) {}
  Ray(const Ray&) = default;
  Ray& operator=(const Ray&) = default;

  VANTRA_INLINE const Vector& pointAlongRay(float t, Vector& result) const {
    result = _origin + _direction * t;
    return result;
  }
  // Squared distance to the ray's whole line, scaled by the direction's
  // squared length when that is not 1.
  VANTRA_INLINE float distanceSquaredFromPoint(const Vector& p) const {
    return (_direction ^ (p - _origin)).magnitudeSquare();
  }

 private:
  friend class Plane;

  Vector _direction;
  Vector _origin;
};

}  // namespace vantra
