#pragma once

#include <vector>

#include "vantra/export.h"
#include "vantra/intersection_codes.h"
#include "vantra/plane.h"
#include "vantra/vector.h"

namespace vantra {

// Axis-aligned box kept as its eight corners, so that a plane test is eight
// dot products. Corner 0 is the minimum, corner 4 the maximum.
class VANTRA_API BoundingBox {
 public:
  BoundingBox();
  BoundingBox(const Vector& minPoint, const Vector& maxPoint);
  // Point sets must hold at least one point.
  BoundingBox(const Vector** points, int count);
  BoundingBox(const std::vector<Vector>& points);
  BoundingBox(const BoundingBox&) = default;
  BoundingBox(const BoundingBox& a, const BoundingBox& b);
  const BoundingBox& operator=(const BoundingBox& other);

  void setMinMaxCorner(const Vector& minPoint, const Vector& maxPoint);
  VANTRA_INLINE const Vector& minPoint() const { return _corners[0]; }
  VANTRA_INLINE const Vector& maxPoint() const { return _corners[4]; }
  VANTRA_INLINE const Vector& corner(int index) const { return _corners[index]; }

  // a or b may be this box.
  void merge(const BoundingBox& a, const BoundingBox& b);

  // A corner exactly on the plane counts as being on its negative side. The
  // pointer is accepted for symmetry with the sphere and never written.
  VANTRA_INLINE int testIntersectionWithPlane(const Plane& plane, float*) const;

  static void ComputeMinMaxPoint(const Vector** points, int count, Vector& minPoint,
                                 Vector& maxPoint);
  static void ComputeMinMaxPoint(const std::vector<Vector>& points, Vector& minPoint,
                                 Vector& maxPoint);

 private:
  void computeAllCorners(const Vector& minPoint, const Vector& maxPoint);

  Vector _corners[8];
};

VANTRA_INLINE int BoundingBox::testIntersectionWithPlane(const Plane& plane, float*) const {
  const int side = plane.distanceFromPoint(_corners[0]) > 0.0f ? IntersectionCodes::OUTSIDE
                                                               : IntersectionCodes::INSIDE;
  for (int i = 1; i < 8; ++i) {
    const int cornerSide = plane.distanceFromPoint(_corners[i]) > 0.0f ? IntersectionCodes::OUTSIDE
                                                                       : IntersectionCodes::INSIDE;
    if (cornerSide != side) return IntersectionCodes::INTERSECTING;
  }
  return side;
}

}  // namespace vantra
