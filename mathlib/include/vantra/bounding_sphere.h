#pragma once

#include <vector>

#include "vantra/export.h"
#include "vantra/intersection_codes.h"
#include "vantra/plane.h"
#include "vantra/ray.h"
#include "vantra/vector.h"

namespace vantra {

// Centre and radius; the squared radius is kept beside them so that the plane
// and ray tests need no square root.
class VANTRA_API BoundingSphere {
 public:
  BoundingSphere();
  BoundingSphere(Vector& center, float radius);
  // Point sets must hold at least one point.
  BoundingSphere(const Vector** points, int count);
  BoundingSphere(const std::vector<Vector>& points);
  BoundingSphere(const BoundingSphere&) = default;
  BoundingSphere(const BoundingSphere& a, const BoundingSphere& b);
  const BoundingSphere& operator=(const BoundingSphere& other);

  VANTRA_INLINE const Vector& center() const { return _center; }
  VANTRA_INLINE float radius() const { return _radius; }
  void setCenterAndRadius(const Vector& center, float radius);

  // a or b may be this sphere.
  void merge(const BoundingSphere& a, const BoundingSphere& b);

  // Touching counts as intersecting; signedDistance, when given, receives the
  // centre's distance from the plane.
  int testIntersectionWithPlane(const Plane& plane, float* signedDistance) const;
  int testIntersectionWithBoundingSphere(const BoundingSphere& other) const;
  // Against the ray's whole line, in both directions.
  bool doesIntersectRay(const Ray& ray) const;

  static void ComputeCenterPoint(const Vector** points, int count, Vector& center);
  static void ComputeCenterPoint(const std::vector<Vector>& points, Vector& center);
  // Ties go to the lowest index.
  static void ComputeClosestAndFarthestPointsIndex(const Vector** points, int count,
                                                   const Vector& center, int* closest,
                                                   int* farthest);
  static void ComputeClosestAndFarthestPointsIndex(const std::vector<Vector>& points,
                                                   const Vector& center, int* closest,
                                                   int* farthest);

 private:
  Vector _center;
  float _radius;
  float _radiusSquared;
};

}  // namespace vantra
