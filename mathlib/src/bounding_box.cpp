#include "vantra/bounding_box.h"

namespace vantra {

namespace {

template <typename At>
void MinMaxOf(At at, int count, Vector& minPoint, Vector& maxPoint) {
  Vector lo = at(0);
  Vector hi = lo;
  for (int i = 1; i < count; ++i) {
    const Vector& p = at(i);
    if (p.x < lo.x)
      lo.x = p.x;
    else if (p.x > hi.x)
      hi.x = p.x;
    if (p.y < lo.y)
      lo.y = p.y;
    else if (p.y > hi.y)
      hi.y = p.y;
    if (p.z < lo.z)
      lo.z = p.z;
    else if (p.z > hi.z)
      hi.z = p.z;
  }
  minPoint = lo;
  maxPoint = hi;
}

}  // namespace

BoundingBox::BoundingBox() {
  for (Vector& c : _corners) c.clear();
}

BoundingBox::BoundingBox(const Vector& minPoint, const Vector& maxPoint) {
  computeAllCorners(minPoint, maxPoint);
}

BoundingBox::BoundingBox(const Vector** points, int count) {
  Vector lo, hi;
  ComputeMinMaxPoint(points, count, lo, hi);
  computeAllCorners(lo, hi);
}

BoundingBox::BoundingBox(const std::vector<Vector>& points) {
  Vector lo, hi;
  ComputeMinMaxPoint(points, lo, hi);
  computeAllCorners(lo, hi);
}

BoundingBox::BoundingBox(const BoundingBox& a, const BoundingBox& b) { merge(a, b); }

const BoundingBox& BoundingBox::operator=(const BoundingBox& other) {
  if (this != &other)
    for (int i = 0; i < 8; ++i) _corners[i] = other._corners[i];
  return *this;
}

void BoundingBox::setMinMaxCorner(const Vector& minPoint, const Vector& maxPoint) {
  computeAllCorners(minPoint, maxPoint);
}

void BoundingBox::merge(const BoundingBox& a, const BoundingBox& b) {
  const Vector* points[4] = {&a.minPoint(), &a.maxPoint(), &b.minPoint(), &b.maxPoint()};
  Vector lo, hi;
  ComputeMinMaxPoint(points, 4, lo, hi);
  computeAllCorners(lo, hi);
}

void BoundingBox::ComputeMinMaxPoint(const Vector** points, int count, Vector& minPoint,
                                     Vector& maxPoint) {
  MinMaxOf([points](int i) -> const Vector& { return *points[i]; }, count, minPoint, maxPoint);
}

void BoundingBox::ComputeMinMaxPoint(const std::vector<Vector>& points, Vector& minPoint,
                                     Vector& maxPoint) {
  MinMaxOf([&points](int i) -> const Vector& { return points[static_cast<size_t>(i)]; },
           static_cast<int>(points.size()), minPoint, maxPoint);
}

// Corners 1 to 3 step from the minimum and 5 to 7 from the maximum by the
// extent, so a box given with max below min keeps the same formulas.
void BoundingBox::computeAllCorners(const Vector& minPoint, const Vector& maxPoint) {
  const Vector lo = minPoint;
  const Vector hi = maxPoint;
  const Vector d = hi - lo;
  _corners[0] = lo;
  _corners[1].set(lo.x + d.x, lo.y, lo.z);
  _corners[2].set(lo.x, lo.y + d.y, lo.z);
  _corners[3].set(lo.x, lo.y, lo.z + d.z);
  _corners[4] = hi;
  _corners[5].set(hi.x - d.x, hi.y, hi.z);
  _corners[6].set(hi.x, hi.y - d.y, hi.z);
  _corners[7].set(hi.x, hi.y, hi.z - d.z);
}

}  // namespace vantra
