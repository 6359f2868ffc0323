#include "vantra/bounding_sphere.h"

#include <cmath>

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

template <typename Set>
void ClosestAndFarthestOf(const Set& set, const Vector& center, int* closest, int* farthest) {
  *closest = *farthest = 0;
  float smallest = (center - set.at(0)).magnitudeSquare();
  float largest = smallest;
  for (int i = 1; i < set.size(); ++i) {
    const float s = (center - set.at(i)).magnitudeSquare();
    if (s < smallest) {
      smallest = s;
      *closest = i;
    } else if (s > largest) {
      largest = s;
      *farthest = i;
    }
  }
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
