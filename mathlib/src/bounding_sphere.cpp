#include "vantra/bounding_sphere.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantra {

namespace {

// Both point-set forms share one implementation; the set is read through at().
struct PointerSet {
  const Vector** points;
  int count;
  const Vector& at(int i) const { return *points[i]; }
  int size() const { return count; }
};

struct VectorSet {
  const std::vector<Vector>& points;
  const Vector& at(int i) const { return points[static_cast<size_t>(i)]; }
  int size() const { return static_cast<int>(points.size()); }
};

template <typename Set>
void CenterOf(const Set& set, Vector& center) {
  Vector sum = set.at(0);
  for (int i = 1; i < set.size(); ++i) sum += set.at(i);
  center = sum * (1.0f / static_cast<float>(set.size()));
}

#if defined(__SSE2__)
__m128 Select(__m128 mask, __m128 a, __m128 b) {
  return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
}
__m128i Select(__m128 mask, __m128i a, __m128i b) {
  const __m128i m = _mm_castps_si128(mask);
  return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b));
}

// The first index of the smallest or largest of four lanes: ties go to the
// lower index, as they do when the points are visited in order.
void Reduce(__m128 values, __m128i indices, bool smallest, float& best, int& index) {
  float v[4];
  int k[4];
  _mm_storeu_ps(v, values);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(k), indices);
  best = v[0];
  index = k[0];
  for (int lane = 1; lane < 4; ++lane)
    if ((smallest ? v[lane] < best : v[lane] > best) || (v[lane] == best && k[lane] < index)) {
      best = v[lane];
      index = k[lane];
    }
}
#endif

// Each squared distance is (center - p).magnitudeSquare(), four points per
// vector where SSE2 is there. Every lane keeps the first index of its own
// smallest and largest distance, so the answer is the first such point, as
// in a visit in order. A NaN distance never compares, so it is never chosen;
// a NaN at point 0 leaves both answers at 0.
template <typename Set>
void ClosestAndFarthestOf(const Set& set, const Vector& center, int* closest, int* farthest) {
  const int count = set.size();
  float smallest = (center - set.at(0)).magnitudeSquare();
  float largest = smallest;
  int low = 0, high = 0, i = 1;
#if defined(__SSE2__)
  const __m128 cx = _mm_set1_ps(center.x), cy = _mm_set1_ps(center.y), cz = _mm_set1_ps(center.z);
  __m128 lowValues = _mm_set1_ps(smallest), highValues = lowValues;
  __m128i lowIndices = _mm_setzero_si128(), highIndices = lowIndices;
  __m128i indices = _mm_setr_epi32(1, 2, 3, 4);
  for (; i + 4 <= count; i += 4) {
    const Vector &p0 = set.at(i), &p1 = set.at(i + 1), &p2 = set.at(i + 2), &p3 = set.at(i + 3);
    const __m128 dx = _mm_sub_ps(cx, _mm_setr_ps(p0.x, p1.x, p2.x, p3.x));
    const __m128 dy = _mm_sub_ps(cy, _mm_setr_ps(p0.y, p1.y, p2.y, p3.y));
    const __m128 dz = _mm_sub_ps(cz, _mm_setr_ps(p0.z, p1.z, p2.z, p3.z));
    const __m128 s =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
    const __m128 below = _mm_cmplt_ps(s, lowValues), above = _mm_cmpgt_ps(s, highValues);
    lowValues = Select(below, s, lowValues);
    lowIndices = Select(below, indices, lowIndices);
    highValues = Select(above, s, highValues);
    highIndices = Select(above, indices, highIndices);
    indices = _mm_add_epi32(indices, _mm_set1_epi32(4));
  }
  Reduce(lowValues, lowIndices, true, smallest, low);
  Reduce(highValues, highIndices, false, largest, high);
#endif
  for (; i < count; ++i) {
    const float s = (center - set.at(i)).magnitudeSquare();
    if (s < smallest) {
      smallest = s;
      low = i;
    } else if (s > largest) {
      largest = s;
      high = i;
    }
  }
  *closest = low;
  *farthest = high;
}

// Centred on the mean, reaching the farthest point: encloses every point but
// is not the smallest such sphere.
template <typename Set>
void Fit(const Set& set, Vector& center, float& radius, float& radiusSquared) {
  CenterOf(set, center);
  int closest = 0, farthest = 0;
  ClosestAndFarthestOf(set, center, &closest, &farthest);
  radius = std::sqrt((center - set.at(farthest)).magnitudeSquare());
  radiusSquared = radius * radius;
}

}  // namespace

BoundingSphere::BoundingSphere() : _center(0.0f), _radius(0.0f), _radiusSquared(0.0f) {}

BoundingSphere::BoundingSphere(Vector& center, float radius) { setCenterAndRadius(center, radius); }

BoundingSphere::BoundingSphere(const Vector** points, int count) {
  Fit(PointerSet{points, count}, _center, _radius, _radiusSquared);
}

BoundingSphere::BoundingSphere(const std::vector<Vector>& points) {
  Fit(VectorSet{points}, _center, _radius, _radiusSquared);
}

BoundingSphere::BoundingSphere(const BoundingSphere& a, const BoundingSphere& b) { merge(a, b); }

const BoundingSphere& BoundingSphere::operator=(const BoundingSphere& other) {
  _center = other._center;
  _radius = other._radius;
  _radiusSquared = other._radiusSquared;
  return *this;
}

void BoundingSphere::setCenterAndRadius(const Vector& center, float radius) {
  _center = center;
  _radius = radius;
  _radiusSquared = radius * radius;
}

void BoundingSphere::merge(const BoundingSphere& a, const BoundingSphere& b) {
  const Vector delta = b._center - a._center;
  const float distanceSquared = delta.magnitudeSquare();
  const float dr = b._radius - a._radius;
  if (dr * dr >= distanceSquared) {
    *this = dr >= 0.0f ? b : a;
    return;
  }
  const float distance = std::sqrt(distanceSquared);
  const float k = (dr + distance) / distance * 0.5f;
  const float radius = distance * k + a._radius;
  setCenterAndRadius(a._center + delta * k, radius);
}

int BoundingSphere::testIntersectionWithPlane(const Plane& plane, float* signedDistance) const {
  const float s = plane.distanceFromPoint(_center);
  if (signedDistance) *signedDistance = s;
  if (s * s <= _radiusSquared) return IntersectionCodes::INTERSECTING;
  return s >= 0.0f ? IntersectionCodes::OUTSIDE : IntersectionCodes::INSIDE;
}

// INSIDE does not tell which sphere holds the other.
int BoundingSphere::testIntersectionWithBoundingSphere(const BoundingSphere& other) const {
  const float distanceSquared = (other._center - _center).magnitudeSquare();
  const float rd = other._radius - _radius;
  const float rs = other._radius + _radius;
  if (rd * rd >= distanceSquared) return IntersectionCodes::INSIDE;
  if (rs * rs < distanceSquared) return IntersectionCodes::OUTSIDE;
  return IntersectionCodes::INTERSECTING;
}

bool BoundingSphere::doesIntersectRay(const Ray& ray) const {
  return ray.distanceSquaredFromPoint(_center) < _radiusSquared;
}

void BoundingSphere::ComputeCenterPoint(const Vector** points, int count, Vector& center) {
  CenterOf(PointerSet{points, count}, center);
}

void BoundingSphere::ComputeCenterPoint(const std::vector<Vector>& points, Vector& center) {
  CenterOf(VectorSet{points}, center);
}

void BoundingSphere::ComputeClosestAndFarthestPointsIndex(const Vector** points, int count,
                                                          const Vector& center, int* closest,
                                                          int* farthest) {
  ClosestAndFarthestOf(PointerSet{points, count}, center, closest, farthest);
}

void BoundingSphere::ComputeClosestAndFarthestPointsIndex(const std::vector<Vector>& points,
                                                          const Vector& center, int* closest,
                                                          int* farthest) {
  ClosestAndFarthestOf(VectorSet{points}, center, closest, farthest);
}

}  // namespace vantra
