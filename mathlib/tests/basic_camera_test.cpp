#include "test_util.h"

namespace vantra {
namespace {

Vector Forward(BasicCamera& c) { return Row(c.cameraWorldMatrix(), 2); }
Vector Position(BasicCamera& c) { return Row(c.cameraWorldMatrix(), 3); }

TEST(BasicCamera, StartsAtTheIdentity) {
  BasicCamera camera;
  EXPECT_TRUE(Near(camera.cameraWorldMatrix(), Identity(), 0));
  camera.lookRight(30);
  camera.moveUp(3);
  camera.resetCamera();
  EXPECT_TRUE(Near(camera.cameraWorldMatrix(), Identity(), 0));
}

TEST(BasicCamera, TurnsChangeTheAxesOnTheNextAccess) {
  BasicCamera camera;
  camera.lookRight(90);
  EXPECT_TRUE(Near(Forward(camera), Vector(1, 0, 0)));
  EXPECT_TRUE(Near(Row(camera.cameraWorldMatrix(), 0), Vector(0, 0, -1)));
  camera.resetCamera();
  camera.lookDown(30);
  EXPECT_NEAR(Forward(camera).y, -0.5f, 1e-6f);
  camera.lookUp(60);
  EXPECT_NEAR(Forward(camera).y, 0.5f, 1e-6f);
  camera.resetCamera();
  camera.twistLeft(30);
  EXPECT_NEAR(camera.cameraWorldMatrix()(0, 1), 0.5f, 1e-6f)
      << "a positive roll lifts the right axis";
  camera.twistRight(60);
  EXPECT_NEAR(camera.cameraWorldMatrix()(0, 1), -0.5f, 1e-6f);
  camera.resetCamera();
  camera.lookLeft(10);
  camera.lookRight(10);
  EXPECT_TRUE(Near(camera.cameraWorldMatrix(), Identity(), 0));
}

TEST(BasicCamera, MatchesHeadingPitchRollInDegrees) {
  Random random(37);
  for (int i = 0; i < 200; ++i) {
    const float h = random.uniform(-400, 400), p = random.uniform(-100, 100),
                r = random.uniform(-200, 200);
    BasicCamera camera;
    camera.moveAlong(Vector(1, 2, 3), 1);
    camera.lookRight(h);
    camera.lookDown(p);
    camera.twistLeft(r);
    Matrix expected;
    expected.rotateHPR(degreesToRadians(h), degreesToRadians(p), degreesToRadians(r));
    expected(3, 0) = 1;
    expected(3, 1) = 2;
    expected(3, 2) = 3;
    EXPECT_TRUE(Near(camera.cameraWorldMatrix(), expected, 0));
  }
}

TEST(BasicCamera, MovesAlongItsOwnAxes) {
  BasicCamera camera;
  camera.lookRight(90);
  camera.moveForward(2);
  EXPECT_TRUE(Near(Position(camera), Vector(2, 0, 0)))
      << "the pending turn applies before the axis is read";
  struct Case {
    void (BasicCamera::*move)(float);
    Vector delta;
  };
  const Case cases[] = {
      {&BasicCamera::moveRight, Vector(1, 0, 0)},   {&BasicCamera::moveLeft, Vector(-1, 0, 0)},
      {&BasicCamera::moveUp, Vector(0, 1, 0)},      {&BasicCamera::moveDown, Vector(0, -1, 0)},
      {&BasicCamera::moveForward, Vector(0, 0, 1)}, {&BasicCamera::moveBackwards, Vector(0, 0, -1)},
  };
  for (const Case& c : cases) {
    BasicCamera fresh;
    (fresh.*c.move)(3);
    EXPECT_TRUE(Near(Position(fresh), c.delta * 3));
  }
  BasicCamera along;
  along.moveAlong(Vector(0, 0, 2), 3);
  EXPECT_TRUE(Near(Position(along), Vector(0, 0, 6))) << "the direction is not normalised";
}

TEST(BasicCamera, RebuildDiscardsRotationEditsButKeepsThePosition) {
  BasicCamera camera;
  camera.lookRight(20);
  Matrix& m = camera.cameraWorldMatrix();
  const Matrix turned = m;
  m.rotateX(1.0f);
  m(3, 0) = 5;
  camera.twistLeft(0);
  Matrix expected = turned;
  expected(3, 0) = 5;
  EXPECT_TRUE(Near(camera.cameraWorldMatrix(), expected, 0));

  BasicCamera dirty;
  dirty.lookRight(90);
  BasicCamera copy = dirty;
  EXPECT_TRUE(Near(Forward(copy), Vector(1, 0, 0)))
      << "a copy of a dirty camera rebuilds on first access";
}

}  // namespace
}  // namespace vantra
