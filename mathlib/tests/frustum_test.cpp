#include "test_util.h"

namespace vantra {
namespace {

constexpr float kHalfPi = 1.5707964f;

TEST(Frustum, CornersAndPlanesInFrustumSpace) {
  const Frustum f(kHalfPi, 1, 1, 100);
  const Vector nearCorners[4] = {Vector(1, 1, 1), Vector(1, -1, 1), Vector(-1, -1, 1),
                                 Vector(-1, 1, 1)};
  for (int k = 0; k < 4; ++k) {
    EXPECT_TRUE(Near(f.nearPoints()[k], nearCorners[k])) << k;
    EXPECT_TRUE(Near(f.farPoints()[k], nearCorners[k] * 100, 1e-3f)) << k;
  }
  Plane near = f.planes()[0], far = f.planes()[1], plusX = f.planes()[2];
  EXPECT_TRUE(near == Plane(Vector(0, 0, -1), 1));
  EXPECT_TRUE(far == Plane(Vector(0, 0, 1), -100));
  EXPECT_TRUE(plusX == Plane(Vector(0.7071068f, 0, -0.7071068f), 0));
  EXPECT_TRUE(Near(f.boundingSphere().center(), Vector(0, 0, 50.5f), 1e-4f));
  EXPECT_NEAR(f.boundingSphere().radius(), 149.834f, 1e-3f);
}

TEST(Frustum, EveryPlaneFacesOutwards) {
  const Frustum f(kHalfPi, 1, 1, 100);
  struct Case {
    Vector point;
    int positivePlane;
    const char* why;
  };
  const Case cases[] = {
      {Vector(0, 0, 50), -1, "inside: negative for all six"},
      {Vector(0, 0, 0.5f), 0, "in front of the near plane"},
      {Vector(0, 0, 150), 1, "beyond the far plane"},
      {Vector(60, 0, 50), 2, "right of the +X side"},
      {Vector(-60, 0, 50), 3, "left of the -X side"},
      {Vector(0, 60, 50), 4, "above the +Y side"},
      {Vector(0, -60, 50), 5, "below the -Y side"},
  };
  for (const Case& c : cases)
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(f.planes()[i].distanceFromPoint(c.point) > 0, i == c.positivePlane)
          << c.why << ", plane " << i;
}

TEST(Frustum, AspectRatioScalesTheYExtent) {
  const Frustum f(kHalfPi, 2, 1, 100);
  EXPECT_TRUE(Near(f.nearPoints()[0], Vector(1, 2, 1)));
  EXPECT_GT(f.planes()[4].distanceFromPoint(Vector(0, 2.1f, 1)), 0.0f);
  EXPECT_LT(f.planes()[4].distanceFromPoint(Vector(0, 1.9f, 1)), 0.0f);
}

TEST(Frustum, TransformStartsFromFrustumSpaceEachTime) {
  Frustum f(kHalfPi, 1, 1, 100);
  Matrix m;
  m.translate(Vector(0, 0, 10));
  for (int call = 0; call < 2; ++call) {
    f.transform(m);
    EXPECT_TRUE(Near(f.transformedNearPoints()[0], Vector(1, 1, 11)));
    Plane near = f.transformedPlanes()[0];
    EXPECT_TRUE(near == Plane(Vector(0, 0, -1), 11));
  }
  EXPECT_TRUE(Near(f.nearPoints()[0], Vector(1, 1, 1))) << "frustum-space corners never change";
  EXPECT_TRUE(Near(f.boundingSphere().center(), Vector(0, 0, 70.5f), 1e-4f))
      << "the sphere centre moves each call";
  const Frustum copy = f;
  EXPECT_TRUE(Near(copy.transformedFarPoints()[2], f.transformedFarPoints()[2], 0));
  EXPECT_TRUE(Near(copy.boundingSphere().center(), f.boundingSphere().center(), 0));
}

TEST(Frustum, TransformedPlanesMatchTransformedCorners) {
  Random random(31);
  Frustum f(1.2f, 0.75f, 1, 500);
  for (int i = 0; i < 100; ++i) {
    Matrix m;
    m.rotateHPR(random.angle(), random.angle(), random.angle());
    m(3, 0) = random.uniform(-100, 100);
    Frustum g = f;
    g.transform(m);
    Vector inside(0, 0, 250);
    inside.transform(m);
    for (int k = 0; k < 6; ++k) EXPECT_LT(g.transformedPlanes()[k].distanceFromPoint(inside), 0.0f);
    Vector c = g.boundingSphere().center();
    EXPECT_TRUE(Near(c, Vector(0, 0, 250.5f).transform(m), 1e-2f))
        << "one transform maps the sphere with the corners";
  }
}

}  // namespace
}  // namespace vantra
