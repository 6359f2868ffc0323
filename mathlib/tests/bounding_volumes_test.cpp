#include <cmath>
#include <limits>
#include <vector>

#include "test_util.h"

namespace vantra {
namespace {

using Codes = IntersectionCodes;

BoundingSphere Sphere(Vector center, float radius) { return BoundingSphere(center, radius); }

TEST(BoundingSphere, ClassifiesAgainstPlanes) {
  const BoundingSphere unit = Sphere(Vector(0.0f), 1);
  struct Case {
    float d;
    int expected;
    const char* why;
  };
  const Case cases[] = {
      {-0.5f, Codes::INTERSECTING, "plane y = 0.5 cuts the sphere"},
      {2.0f, Codes::OUTSIDE, "centre on the positive side of y = -2"},
      {-2.0f, Codes::INSIDE, "centre on the negative side of y = 2"},
      {-1.0f, Codes::INTERSECTING, "touching counts as intersecting"},
  };
  for (const Case& c : cases) {
    float s = 99;
    EXPECT_EQ(unit.testIntersectionWithPlane(Plane(Vector(0, 1, 0), c.d), &s), c.expected) << c.why;
    EXPECT_EQ(s, c.d) << c.why;
    EXPECT_EQ(unit.testIntersectionWithPlane(Plane(Vector(0, 1, 0), c.d), nullptr), c.expected)
        << c.why;
  }
}

TEST(BoundingSphere, ClassifiesAgainstSpheres) {
  const BoundingSphere unit = Sphere(Vector(0.0f), 1);
  struct Case {
    BoundingSphere other;
    int expected;
    const char* why;
  };
  const Case cases[] = {
      {Sphere(Vector(3, 0, 0), 1), Codes::OUTSIDE, "apart"},
      {Sphere(Vector(2, 0, 0), 1), Codes::INTERSECTING, "touching from outside"},
      {Sphere(Vector(0.5f, 0, 0), 3), Codes::INSIDE, "one holds the other"},
      {Sphere(Vector(0.0f), 1), Codes::INSIDE, "identical"},
      {Sphere(Vector(1, 0, 0), 0.5f), Codes::INTERSECTING, "overlapping"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(unit.testIntersectionWithBoundingSphere(c.other), c.expected) << c.why;
}

TEST(BoundingSphere, RayTestUsesTheWholeLine) {
  const BoundingSphere unit = Sphere(Vector(0.0f), 1);
  EXPECT_FALSE(unit.doesIntersectRay(Ray(Vector(1, 0, 0), Vector(0, 1, 0)))) << "tangent";
  EXPECT_TRUE(unit.doesIntersectRay(Ray(Vector(1, 0, 0), Vector(0, 0.5f, 0))));
  EXPECT_TRUE(unit.doesIntersectRay(Ray(Vector(1, 0, 0), Vector(5, 0, 0))))
      << "pointing away still meets the line";
}

TEST(BoundingSphere, MergeEnclosesBoth) {
  struct Case {
    BoundingSphere a, b;
    Vector center;
    float radius;
  };
  const Case cases[] = {
      {Sphere(Vector(0.0f), 1), Sphere(Vector(4, 0, 0), 1), Vector(2, 0, 0), 3},
      {Sphere(Vector(0.0f), 5), Sphere(Vector(1, 0, 0), 1), Vector(0.0f), 5},
      {Sphere(Vector(0.0f), 1), Sphere(Vector(1, 0, 0), 5), Vector(1, 0, 0), 5},
  };
  for (const Case& c : cases) {
    const BoundingSphere merged(c.a, c.b);
    EXPECT_TRUE(Near(merged.center(), c.center));
    EXPECT_EQ(merged.radius(), c.radius);
  }
  Random random(19);
  for (int i = 0; i < 300; ++i) {
    Vector ca = random.vector(10), cb = random.vector(10);
    BoundingSphere a(ca, random.uniform(0.1f, 5)), b(cb, random.uniform(0.1f, 5));
    const BoundingSphere merged(a, b);
    for (const BoundingSphere* s : {&a, &b}) {
      const float reach =
          std::sqrt((s->center() - merged.center()).magnitudeSquare()) + s->radius();
      EXPECT_LE(reach, merged.radius() * (1 + 1e-5f));
    }
    a.merge(a, b);
    EXPECT_TRUE(Near(a.center(), merged.center(), 0)) << "a may be this sphere";
  }
}

TEST(BoundingSphere, FitsPointSetsInBothForms) {
  const std::vector<Vector> square = {Vector(0, 0, 0), Vector(2, 0, 0), Vector(0, 2, 0),
                                      Vector(2, 2, 0)};
  const BoundingSphere fitted(square);
  EXPECT_TRUE(Near(fitted.center(), Vector(1, 1, 0)));
  EXPECT_FLOAT_EQ(fitted.radius(), std::sqrt(2.0f));
  // The plane test compares the squared distance with the squared radius, 2.
  EXPECT_EQ(fitted.testIntersectionWithPlane(Plane(Vector(0, 0, 1), 1.4142f), nullptr),
            Codes::INTERSECTING);
  Random random(23);
  for (int n : {1, 2, 64}) {
    std::vector<Vector> points;
    std::vector<const Vector*> pointers;
    for (int i = 0; i < n; ++i) points.push_back(random.vector(20));
    for (const Vector& p : points) pointers.push_back(&p);
    const BoundingSphere a(points), b(pointers.data(), n);
    EXPECT_TRUE(Near(a.center(), b.center(), 0));
    EXPECT_EQ(a.radius(), b.radius());
    for (const Vector& p : points)
      EXPECT_LE((p - a.center()).magnitudeSquare(), a.radius() * a.radius() * 1.0001f);
  }
}

TEST(BoundingSphere, ClosestAndFarthestTiesGoToTheLowestIndex) {
  const std::vector<Vector> same(4, Vector(1, 1, 1));
  int closest = -1, farthest = -1;
  BoundingSphere::ComputeClosestAndFarthestPointsIndex(same, Vector(0.0f), &closest, &farthest);
  EXPECT_EQ(closest, 0);
  EXPECT_EQ(farthest, 0);
  const std::vector<Vector> line = {Vector(2, 0, 0), Vector(1, 0, 0), Vector(3, 0, 0),
                                    Vector(-3, 0, 0), Vector(1, 0, 0)};
  BoundingSphere::ComputeClosestAndFarthestPointsIndex(line, Vector(0.0f), &closest, &farthest);
  EXPECT_EQ(closest, 1);
  EXPECT_EQ(farthest, 2);
}

// Against a visit of the points in order, over sets of every size up to 40
// with repeated distances and NaN coordinates (a NaN distance is never
// chosen; one at point 0 leaves both answers at 0), through both overloads.
TEST(BoundingSphere, ClosestAndFarthestMatchAVisitInOrder) {
  Random random(29);
  for (int trial = 0; trial < 2000; ++trial) {
    const int n = 1 + trial % 40;
    std::vector<Vector> points;
    for (int i = 0; i < n; ++i) {
      // Coordinates from a small grid repeat distances often.
      points.emplace_back(std::floor(random.uniform(-3, 3)), std::floor(random.uniform(-3, 3)),
                          std::floor(random.uniform(-3, 3)));
      if (trial % 5 == 0 && random.uniform(0, 1) < 0.2f) points.back().y = NAN;
    }
    const Vector center(random.uniform(-1, 1), 0.5f, 0.0f);
    int expectedClosest = 0, expectedFarthest = 0;
    float smallest = (center - points[0]).magnitudeSquare(), largest = smallest;
    for (int i = 1; i < n; ++i) {
      const float s = (center - points[i]).magnitudeSquare();
      if (s < smallest)
        smallest = s, expectedClosest = i;
      else if (s > largest)
        largest = s, expectedFarthest = i;
    }
    std::vector<const Vector*> pointers;
    for (const Vector& p : points) pointers.push_back(&p);
    int closest = -1, farthest = -1;
    BoundingSphere::ComputeClosestAndFarthestPointsIndex(points, center, &closest, &farthest);
    ASSERT_EQ(closest, expectedClosest) << "trial " << trial;
    ASSERT_EQ(farthest, expectedFarthest) << "trial " << trial;
    BoundingSphere::ComputeClosestAndFarthestPointsIndex(pointers.data(), n, center, &closest,
                                                         &farthest);
    ASSERT_EQ(closest, expectedClosest) << "pointers, trial " << trial;
    ASSERT_EQ(farthest, expectedFarthest) << "pointers, trial " << trial;
  }
}

TEST(BoundingBox, CornersFollowTheMinimumAndMaximum) {
  const std::vector<Vector> points = {Vector(1, 2, 3), Vector(-1, 5, 0), Vector(0, 0, 0)};
  const BoundingBox box(points);
  EXPECT_TRUE(Near(box.minPoint(), Vector(-1, 0, 0)));
  EXPECT_TRUE(Near(box.maxPoint(), Vector(1, 5, 3)));
  const Vector expected[8] = {Vector(-1, 0, 0), Vector(1, 0, 0), Vector(-1, 5, 0),
                              Vector(-1, 0, 3), Vector(1, 5, 3), Vector(-1, 5, 3),
                              Vector(1, 0, 3),  Vector(1, 5, 0)};
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(Near(box.corner(i), expected[i])) << "corner " << i;
  const BoundingBox merged(BoundingBox(Vector(0, 0, 0), Vector(1, 1, 1)),
                           BoundingBox(Vector(2, -1, 0), Vector(3, 0, 5)));
  EXPECT_TRUE(Near(merged.minPoint(), Vector(0, -1, 0)));
  EXPECT_TRUE(Near(merged.maxPoint(), Vector(3, 1, 5)));
  BoundingBox self(Vector(0, 0, 0), Vector(1, 1, 1));
  self.merge(self, BoundingBox(Vector(-1, 0, 0), Vector(0, 2, 0)));
  EXPECT_TRUE(Near(self.maxPoint(), Vector(1, 2, 1))) << "a may be this box";
}

TEST(BoundingBox, CornersOnThePlaneCountAsNegative) {
  const BoundingBox unit(Vector(0, 0, 0), Vector(1, 1, 1));
  struct Case {
    BoundingBox box;
    Plane plane;
    int expected;
    const char* why;
  };
  const Case cases[] = {
      {unit, Plane(Vector(1, 0, 0), 0.0f), Codes::INTERSECTING,
       "x = 0 splits on-plane from positive corners"},
      {unit, Plane(Vector(1, 0, 0), -1.0f), Codes::INSIDE, "all corners at or below x = 1"},
      {unit, Plane(Vector(1, 0, 0), 0.5f), Codes::OUTSIDE, "all corners above x = -0.5"},
      {BoundingBox(), Plane(Vector(0, 1, 0), 0.1f), Codes::OUTSIDE, "empty box, positive d"},
      {BoundingBox(), Plane(Vector(0, 1, 0), 0.0f), Codes::INSIDE, "empty box on the plane"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.box.testIntersectionWithPlane(c.plane, nullptr), c.expected) << c.why;
  float untouched = 42;
  unit.testIntersectionWithPlane(Plane(Vector(1, 0, 0), 0.5f), &untouched);
  EXPECT_EQ(untouched, 42.0f);
}

// Besides planes at random offsets, planes through each corner put that
// corner's distance at zero and its neighbours' within rounding of it, where
// any change in how the distances are evaluated would show.
TEST(BoundingBox, PlaneClassificationAgreesWithCornerSigns) {
  Random random(29);
  for (int i = 0; i < 500; ++i) {
    const Vector a = random.vector(10), b = random.vector(10);
    const Vector* ends[2] = {&a, &b};
    const BoundingBox box(ends, 2);
    Vector normal = random.vector(1);
    if (i % 2 == 1) normal.set(1.0f, random.uniform(-1e-6f, 1e-6f), random.uniform(-1e-6f, 1e-6f));
    normal.normalize();
    std::vector<Plane> planes = {Plane(normal, random.uniform(-12, 12))};
    for (int k = 0; k < 8; ++k) planes.emplace_back(normal, -(normal % box.corner(k)));
    for (const Plane& plane : planes) {
      int positive = 0;
      for (int k = 0; k < 8; ++k) positive += plane.distanceFromPoint(box.corner(k)) > 0 ? 1 : 0;
      const int expected = positive == 8   ? Codes::OUTSIDE
                           : positive == 0 ? Codes::INSIDE
                                           : Codes::INTERSECTING;
      EXPECT_EQ(box.testIntersectionWithPlane(plane, nullptr), expected);
    }
  }
}

// The classification by its definition: every corner's distance, corner 0's
// side against the other seven.
int ClassifyByEveryCorner(const BoundingBox& box, const Plane& plane) {
  const bool side = plane.distanceFromPoint(box.corner(0)) > 0.0f;
  for (int k = 1; k < 8; ++k)
    if ((plane.distanceFromPoint(box.corner(k)) > 0.0f) != side) return Codes::INTERSECTING;
  return side ? Codes::OUTSIDE : Codes::INSIDE;
}

// Draws from values where rounding and IEEE special cases meet: zeros of both
// signs, small integers and halves (boxes whose extent rounds back to their
// maximum exactly), arbitrary floats (whose extent often does not), values
// far apart in magnitude, denormals, infinities and NaN.
class AwkwardFloats {
 public:
  explicit AwkwardFloats(unsigned seed) : _random(seed), _engine(seed) {}
  float next(float extent) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    switch (std::uniform_int_distribution<int>(0, 15)(_engine)) {
      case 0:
        return 0.0f;
      case 1:
        return -0.0f;
      case 2:
        return std::round(_random.uniform(-extent, extent));
      case 3:
        return 0.5f * std::round(_random.uniform(-2 * extent, 2 * extent));
      case 4:
        return _random.uniform(-1e30f, 1e30f);
      case 5:
        return _random.uniform(-1e-38f, 1e-38f) * 1e-3f;
      case 6:
        return inf;
      case 7:
        return -inf;
      case 8:
        if (std::uniform_int_distribution<int>(0, 9)(_engine) == 0)
          return std::numeric_limits<float>::quiet_NaN();
        return std::numeric_limits<float>::max();
      default:
        return _random.uniform(-extent, extent);
    }
  }
  Vector vector(float extent) { return Vector(next(extent), next(extent), next(extent)); }
  int index(int count) { return std::uniform_int_distribution<int>(0, count - 1)(_engine); }
  Random& plain() { return _random; }

 private:
  Random _random;
  std::mt19937 _engine;
};

// The box test reads each corner's coordinates from the values the corners
// share; this compares it with every corner's distance over boxes made by
// every constructor and setter, and planes built to sit on the boundaries:
// planes through a corner and one float step to either side of it, boxes
// touching a plane, zero and infinite normal components, infinite and NaN
// coordinates, boxes given with max below min.
TEST(BoundingBox, PlaneClassificationIsExactlyThatOfEveryCorner) {
  AwkwardFloats awkward(47);
  for (int i = 0; i < 24000; ++i) {
    const bool tame = i % 2 == 0;
    const Vector a = tame ? awkward.plain().vector(8) : awkward.vector(8);
    const Vector b = tame ? awkward.plain().vector(8) : awkward.vector(8);
    const Vector c = a + Vector(2.5f, 0.0f, 1.0f);
    const std::vector<Vector> points = {a, b, c};
    BoundingBox box;
    switch (i % 6) {
      case 0:
        box = BoundingBox(a, b);
        break;
      case 1:
        box = BoundingBox(points);
        break;
      case 2:
        box = BoundingBox(BoundingBox(a, c), BoundingBox(b, b));
        break;
      case 3:
        box.setMinMaxCorner(b, a);
        break;
      default:
        box = BoundingBox(a, c);
    }
    for (int j = 0; j < 16; ++j) {
      Vector normal = awkward.vector(1);
      if (j % 4 == 0) normal = awkward.plain().vector(1);
      if (j % 4 == 1) normal.set(awkward.plain().uniform(-1, 1), 0.0f, awkward.next(1));
      const float through = -(normal % box.corner(awkward.index(8)));
      const float offsets[4] = {through, std::nextafter(through, -HUGE_VALF),
                                std::nextafter(through, HUGE_VALF), awkward.next(10)};
      const Plane plane(normal, offsets[j % 4]);
      ASSERT_EQ(box.testIntersectionWithPlane(plane, nullptr), ClassifyByEveryCorner(box, plane))
          << "box " << i << " plane " << j;
    }
  }
}

}  // namespace
}  // namespace vantra
