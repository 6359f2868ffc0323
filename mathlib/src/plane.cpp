#include "vantra/plane.h"

namespace vantra {

const Vector& Plane::intersectionPointWithRay(const Ray& ray, Vector& result) const {
  const float t = -distanceFromPoint(ray._origin) / (_normal % ray._direction);
  result = ray._origin + ray._direction * t;
  return result;
}

bool Plane::doesIntersectRay(const Ray& ray) const {
  return floatEquals(0.0f, _normal % ray._direction);
}

const Vector& Plane::validPointInPlane2(Vector& result) const {
  result = _normal * _d;
  return result;
}

const Vector& Plane::validPointInPlane(Vector& result) const {
  if (floatEquals(1.0f, _normal.x) || floatEquals(-1.0f, _normal.x))
    result.set(-_d / _normal.x, 0.0f, 0.0f);
  else if (floatEquals(1.0f, _normal.y) || floatEquals(-1.0f, _normal.y))
    result.set(0.0f, -_d / _normal.y, 0.0f);
  else
    result.set(0.0f, 0.0f, -_d / _normal.z);
  return result;
}

bool Plane::operator==(const Plane& other) {
  return _normal == other._normal && floatEquals(_d, other._d);
}

}  // namespace vantra
