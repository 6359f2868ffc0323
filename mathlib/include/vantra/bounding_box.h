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

// The corners take only four values per axis (see computeAllCorners), so each
// product of a normal component with a coordinate is formed once, and
// corners 0 and 3, and 4 and 7, share their x and y partial sum. Every
// distance is still ((nx * x + ny * y) + nz * z) + d, exactly as
// Plane::distanceFromPoint computes it for the corner.
VANTRA_INLINE int BoundingBox::testIntersectionWithPlane(const Plane& plane, float*) const {
  const Vector& n = plane._normal;
  const Vector* c = _corners;
  const float xLow = n.x * c[0].x, x1 = n.x * c[1].x, xHigh = n.x * c[4].x, x5 = n.x * c[5].x;
  const float yLow = n.y * c[0].y, y2 = n.y * c[2].y, yHigh = n.y * c[4].y, y6 = n.y * c[6].y;
  const float zLow = n.z * c[0].z, z3 = n.z * c[3].z, zHigh = n.z * c[4].z, z7 = n.z * c[7].z;
  const float xyLow = xLow + yLow, xyHigh = xHigh + yHigh;
  const float d = plane._d;
  const float distances[8] = {(xyLow + zLow) + d,         ((x1 + yLow) + zLow) + d,
                              ((xLow + y2) + zLow) + d,   (xyLow + z3) + d,
                              (xyHigh + zHigh) + d,       ((x5 + yHigh) + zHigh) + d,
                              ((xHigh + y6) + zHigh) + d, (xyHigh + z7) + d};
  const bool side = distances[0] > 0.0f;
  for (int i = 1; i < 8; ++i)
    if ((distances[i] > 0.0f) != side) return IntersectionCodes::INTERSECTING;
  return side ? IntersectionCodes::OUTSIDE : IntersectionCodes::INSIDE;
}

}  // namespace vantra
