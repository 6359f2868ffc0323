#pragma once

#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  // The plane test in plain arithmetic, which the inline test calls where the
  // user's compiler has no SSE2.
  int _classifyByEveryCorner(const Plane& plane) const;

  Vector _corners[8];
};

// The sign of every corner's distance ((nx * x + ny * y) + nz * z) + d,
// exactly as Plane::distanceFromPoint gives it, four corners per vector: the
// x, y and z of corners 0 to 3 in three vectors and those of corners 4 to 7
// in three more, each multiplied by the normal's component in all four lanes. This costs
// about what picking the corners nearest and farthest along the normal
// costs, and needs neither that pick nor a check that the corners take only
// two values per axis (a corner stored as min + (max - min) may not), so
// nothing branches on the box.
VANTRA_INLINE int BoundingBox::testIntersectionWithPlane(const Plane& plane, float*) const {
#if defined(__SSE2__)
  // Corners 0 to 3 repeat corner 0's values apart from one coordinate each
  // (corner 1's x, 2's y, 3's z), and corners 4 to 7 repeat corner 4's (see
  // computeAllCorners), so two loads and a shuffle give each of the six
  // vectors.
  const float* f = &_corners[0].x;
  const __m128 x0y0z0x1 = _mm_loadu_ps(f), y1z1x2y2 = _mm_loadu_ps(f + 4);
  const __m128 z2x3y3z3 = _mm_loadu_ps(f + 8), x4y4z4x5 = _mm_loadu_ps(f + 12);
  const __m128 y5z5x6y6 = _mm_loadu_ps(f + 16), z6x7y7z7 = _mm_loadu_ps(f + 20);
  const __m128 lowX = _mm_shuffle_ps(x0y0z0x1, x0y0z0x1, _MM_SHUFFLE(0, 0, 3, 0));
  const __m128 lowY = _mm_shuffle_ps(x0y0z0x1, y1z1x2y2, _MM_SHUFFLE(0, 3, 1, 1));
  const __m128 lowZ = _mm_shuffle_ps(x0y0z0x1, z2x3y3z3, _MM_SHUFFLE(3, 0, 2, 2));
  const __m128 highX = _mm_shuffle_ps(x4y4z4x5, x4y4z4x5, _MM_SHUFFLE(0, 0, 3, 0));
  const __m128 highY = _mm_shuffle_ps(x4y4z4x5, y5z5x6y6, _MM_SHUFFLE(0, 3, 1, 1));
  const __m128 highZ = _mm_shuffle_ps(x4y4z4x5, z6x7y7z7, _MM_SHUFFLE(3, 0, 2, 2));

  // The normal and d in one load: a plane is the four floats nx, ny, nz, d.
  const __m128 n = _mm_loadu_ps(reinterpret_cast<const float*>(&plane));
  const __m128 nx = _mm_shuffle_ps(n, n, _MM_SHUFFLE(0, 0, 0, 0));
  const __m128 ny = _mm_shuffle_ps(n, n, _MM_SHUFFLE(1, 1, 1, 1));
  const __m128 nz = _mm_shuffle_ps(n, n, _MM_SHUFFLE(2, 2, 2, 2));
  const __m128 minusD =
      _mm_xor_ps(_mm_shuffle_ps(n, n, _MM_SHUFFLE(3, 3, 3, 3)), _mm_set1_ps(-0.0f));
  const auto sums = [&](__m128 x, __m128 y, __m128 z) {
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(nx, x), _mm_mul_ps(ny, y)), _mm_mul_ps(nz, z));
  };
  // A distance s + d is positive exactly when s > -d: a sum of two floats
  // rounds to zero only when it is zero, and rounding keeps its sign (with
  // gradual underflow, the processor's default). NaN compares false both
  // ways. One bit per corner; the masks are combined in integer registers.
  const int low = _mm_movemask_ps(_mm_cmplt_ps(minusD, sums(lowX, lowY, lowZ)));
  const int high = _mm_movemask_ps(_mm_cmplt_ps(minusD, sums(highX, highY, highZ)));
  if ((low & high) == 0xF) return IntersectionCodes::OUTSIDE;
  return (low | high) == 0 ? IntersectionCodes::INSIDE : IntersectionCodes::INTERSECTING;
#else
  return _classifyByEveryCorner(plane);
#endif
}

}  // namespace vantra
