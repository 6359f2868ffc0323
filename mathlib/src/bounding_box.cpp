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

// Corners 0 to 3 repeat corner 0's values apart from one coordinate each,
// and corners 4 to 7 repeat corner 4's (see computeAllCorners), so twelve
// products give every term; each distance is still
// ((nx * x + ny * y) + nz * z) + d, exactly as Plane::distanceFromPoint
// computes it for the corner.
int BoundingBox::_classifyByEveryCorner(const Plane& plane) const {
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
