#include "test_util.h"

namespace vantra {
namespace {

TEST(PlaneCreate, NormalFollowsTheArgumentOrder) {
  struct Case {
    Vector p0, p1, p2;
    Plane expected;
    const char* why;
  };
  const Case cases[] = {
      {Vector(0, 0, 0), Vector(0, 1, 0), Vector(1, 0, 0), Plane(Vector(0, 0, -1), 0),
       "through the origin"},
      {Vector(0, 0, 5), Vector(1, 0, 5), Vector(0, 1, 5), Plane(Vector(0, 0, 1), -5),
       "z = 5, counter order"},
      {Vector(0, 0, 5), Vector(0, 1, 5), Vector(1, 0, 5), Plane(Vector(0, 0, -1), 5),
       "swapped points flip it"},
      {Vector(0, 0, 5e4f), Vector(3e4f, 0, 5e4f), Vector(0, 4e4f, 5e4f),
       Plane(Vector(0, 0, 1), -5e4f), "far-apart points still give a unit normal"},
  };
  for (const Case& c : cases) {
    Plane p(c.p0, c.p1, c.p2);
    EXPECT_TRUE(p == c.expected) << c.why;
  }
}

TEST(PlaneCreate, GivenNormalsAreKeptAsTheyAre) {
  const Plane p(Vector(0, 0, 2), 1);
  EXPECT_EQ(p.distanceFromPoint(Vector(0, 0, 1)), 3.0f);
  Plane copy(Vector(1, 0, 0), 0);
  copy.create(p);
  EXPECT_TRUE(copy == p);
  copy.create(Vector(0, 3, 0), 2);
  EXPECT_EQ(copy.distanceFromPoint(Vector(0, 1, 0)), 5.0f);
}

TEST(PlaneCompare, ConstantTermToleranceIsEpsilon) {
  Plane p(Vector(0, 1, 0), 1);
  EXPECT_TRUE(p == Plane(Vector(0, 1, 0), 1.0004f));
  EXPECT_FALSE(p == Plane(Vector(0, 1, 0), 1.001f));
  EXPECT_FALSE(p == Plane(Vector(0, 1.001f, 0), 1));
}

TEST(PlaneRay, IntersectsTheWholeLine) {
  const Plane z5(Vector(0, 0, 1), -5);
  Vector hit;
  EXPECT_TRUE(Near(z5.intersectionPointWithRay(Ray(Vector(0, 0, 2), Vector(0, 0, 0)), hit),
                   Vector(0, 0, 5)));
  EXPECT_TRUE(Near(z5.intersectionPointWithRay(Ray(Vector(0, 0, 1), Vector(0, 0, 10)), hit),
                   Vector(0, 0, 5)))
      << "the point may lie behind the origin";
  EXPECT_TRUE(Near(z5.intersectionPointWithRay(Ray(Vector(1, 0, 1), Vector(0, 2, 0)), hit),
                   Vector(5, 2, 5)));
  EXPECT_TRUE(z5.doesIntersectRay(Ray(Vector(1, 0, 0.0004f), Vector(0.0f))))
      << "true only for parallel rays";
  EXPECT_FALSE(z5.doesIntersectRay(Ray(Vector(0, 0, 1), Vector(0.0f))));
  EXPECT_TRUE(Near(z5.validPointInPlane2(hit), Vector(0, 0, -5)));
}

TEST(Ray, PointsAndSquaredDistances) {
  const Ray r(Vector(1, 2, 0), Vector(3, 3, 3));
  Vector p;
  EXPECT_TRUE(Near(r.pointAlongRay(0, p), Vector(3, 3, 3)));
  EXPECT_TRUE(Near(r.pointAlongRay(-1, p), Vector(2, 1, 3)));
  struct Case {
    Ray ray;
    Vector point;
    float expected;
    const char* why;
  };
  const Case cases[] = {
      {r, Vector(5, 7, 3), 0.0f, "a point on the line"},
      {Ray(Vector(1, 0, 0), Vector(0.0f)), Vector(0, 3, 0), 9.0f, "unit direction"},
      {Ray(Vector(2, 0, 0), Vector(0.0f)), Vector(0, 3, 0), 36.0f, "scaled by the squared length"},
      {Ray(Vector(1, 0, 0), Vector(0.0f)), Vector(-8, 0, 4), 16.0f,
       "behind the origin measures to the line"},
  };
  for (const Case& c : cases)
    EXPECT_FLOAT_EQ(c.ray.distanceSquaredFromPoint(c.point), c.expected) << c.why;
}

}  // namespace
}  // namespace vantra
