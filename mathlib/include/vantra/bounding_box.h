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
  // The plane test from every corner's distance, for boxes whose corners take
  // more than two values on some axis. Pure, so that a caller's loop over
  // planes may check the box once, outside the loop.
  __attribute__((pure)) int _classifyByEveryCorner(const Plane& plane) const;
#if defined(__SSE2__)
  // Corners 0 and 4 into lo and hi (lane 3 holds corner 1's and corner 5's
  // x), the values that step towards the maximum (corner 1's x, 2's y, 3's z)
  // into towardsHi and those towards the minimum (5's x, 6's y, 7's z) into
  // towardsLo.
  VANTRA_INLINE void _loadCornerValues(__m128& lo, __m128& hi, __m128& towardsHi,
                                       __m128& towardsLo) const;
#endif

  Vector _corners[8];
};

#if defined(__SSE2__)
// The 24 floats of the corners as six loads.
VANTRA_INLINE void BoundingBox::_loadCornerValues(__m128& lo, __m128& hi, __m128& towardsHi,
                                                  __m128& towardsLo) const {
  const float* f = &_corners[0].x;
  lo = _mm_loadu_ps(f);
  hi = _mm_loadu_ps(f + 12);
  towardsHi = _mm_movehl_ps(_mm_unpackhi_ps(_mm_loadu_ps(f + 8), hi),
                            _mm_unpackhi_ps(lo, _mm_loadu_ps(f + 4)));
  towardsLo = _mm_movehl_ps(_mm_unpackhi_ps(_mm_loadu_ps(f + 20), _mm_loadu_ps(f + 20)),
                            _mm_unpackhi_ps(hi, _mm_loadu_ps(f + 16)));
}
#endif

// In a box whose corners take exactly two values per axis (corner 1's x is
// the maximum's, corner 5's x the minimum's, and so on), the corners with the
// lowest and the highest distance are picked per axis by the sign of the
// normal's component: rounding is monotonic, so no corner's distance
// ((nx * x + ny * y) + nz * z) + d, evaluated as Plane::distanceFromPoint does,
// lies outside those two corners' distances, and the two classify the box
// exactly as all eight would, bit for bit. A box whose extent does not give
// back its maximum after rounding (min + (max - min) != max), or that has an
// infinite or NaN coordinate, takes more values and is classified from all
// eight corners.
VANTRA_INLINE int BoundingBox::testIntersectionWithPlane(const Plane& plane, float*) const {
#if defined(__SSE2__)
  __m128 lo, hi, towardsHi, towardsLo;
  _loadCornerValues(lo, hi, towardsHi, towardsLo);
  const __m128 twoValues = _mm_and_ps(_mm_cmpeq_ps(towardsHi, hi), _mm_cmpeq_ps(towardsLo, lo));
  // Corner 1's x, 2's y and 3's z must be the maximum's, corner 5's x, 6's y
  // and 7's z the minimum's.
  if ((_mm_movemask_ps(twoValues) & 7) != 7) return _classifyByEveryCorner(plane);
  // Per axis the smaller and the larger coordinate (a box may be given with
  // its maximum below its minimum); both are finite here.
  const __m128 below = _mm_min_ps(lo, hi), above = _mm_max_ps(lo, hi);

  // The normal and d in one load: a plane is the four floats nx, ny, nz, d.
  const __m128 n = _mm_loadu_ps(reinterpret_cast<const float*>(&plane));
  // Where the normal's component has its sign bit set, the lowest distance
  // lies at the larger coordinate. The sign bit is one integer shift, cheaper
  // than a compare; it differs from "not positive" only for +0 and NaN, whose
  // products are zero or NaN whichever coordinate is picked.
  const __m128 negative = _mm_castsi128_ps(_mm_srai_epi32(_mm_castps_si128(n), 31));
  const __m128 swap = _mm_and_ps(negative, _mm_xor_ps(below, above));
  const __m128 lowest = _mm_mul_ps(n, _mm_xor_ps(below, swap));
  const __m128 highest = _mm_mul_ps(n, _mm_xor_ps(above, swap));
  // Lane 0 sums the lowest corner's terms, lane 1 the highest's, in the
  // order ((x + y) + z) + d.
  const __m128 xy = _mm_unpacklo_ps(lowest, highest);
  const __m128 z = _mm_unpackhi_ps(lowest, highest);
  const __m128 sums = _mm_add_ps(_mm_add_ps(_mm_add_ps(xy, _mm_movehl_ps(xy, xy)), z),
                                 _mm_shuffle_ps(n, n, _MM_SHUFFLE(3, 3, 3, 3)));
  // Bit 0: the lowest distance is positive, bit 1: the highest is. The
  // first implies the second, so 3 is OUTSIDE, 2 INTERSECTING and 0 INSIDE.
  const int positive = _mm_movemask_ps(_mm_cmpgt_ps(sums, _mm_setzero_ps())) & 3;
  return positive - (positive >> 1) - 1;
#else
  return _classifyByEveryCorner(plane);
#endif
}

}  // namespace vantra
