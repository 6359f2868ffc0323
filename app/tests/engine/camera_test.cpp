#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "camera_steering.h"
#include "platform/dinput_keys.h"
#include "vantra/intersection_codes.h"

namespace vantra::engine {

namespace {

using vantra::BoundingBox;
using vantra::IntersectionCodes;
using vantra::Vector;

constexpr float kPi = 3.14159265f;

Vector Normalised(Vector v) {
  v.normalize();
  return v;
}

TEST(AppCamera, StartPoseStandsStillInFlightMode) {
  Steering s;
  EXPECT_EQ(s.camera.mode(), 3);
  ExpectNear(s.position(), Vector(0, 0.2f, 0), 1e-6f, "position");
  ExpectNear(s.forward(), Normalised(Vector(0, -0.2f, 1)), 1e-5f, "looks at (0, 0, 1)");
  s.frames(3, {});
  ExpectNear(s.position(), Vector(0, 0.2f, 0), 1e-6f, "flight speed 0 does not move");
}

TEST(AppCamera, FlightAdvancesByScaleTimesSpeed) {
  Steering s;
  s.frames(5, {DIK_ADD});
  EXPECT_NEAR(s.camera.flightSpeed(), 0.5f, 1e-5f);
  const Vector before = s.position();
  s.frame();
  ExpectNear(s.position() - before, s.forward() * 400.0f, 0.01f, "400 units along forward");
  s.frame({DIK_SUBTRACT});
  EXPECT_NEAR(s.camera.flightSpeed(), 0.4f, 1e-5f);
}

TEST(AppCamera, FlightSteersOnlyWithSpeed) {
  Steering s;
  const Vector start = s.forward();
  s.frame({DIK_UP});
  ExpectNear(s.forward(), start, 1e-6f, "no pitch at speed 0");
  s.frames(5, {DIK_ADD});
  s.frame({DIK_UP});
  const float fourDegrees = 4.0f * kPi / 180.0f;
  EXPECT_NEAR(s.forward() % start, std::cos(fourDegrees), 1e-5f) << "2 * 0.5 * 4 degrees";
}

TEST(AppCamera, MoveModeTakesTheFirstKeyOfTheList) {
  Steering s;
  s.frame({DIK_F1});
  EXPECT_EQ(s.camera.mode(), 0);
  const Vector start = s.position();
  const Vector forward = s.forward();
  s.frame({DIK_UP, DIK_DOWN});
  ExpectNear(s.position(), start + forward * 1.0f, 1e-5f, "up and down together: forward");
  s.frame({DIK_HOME});
  ExpectNear(s.position(), start + forward + s.up(), 1e-5f, "home moves up");

  s.frames(20, {DIK_A});
  EXPECT_NEAR(s.camera.moveStep(), 2.0f, 1e-4f);
  s.frame({DIK_Z});
  EXPECT_NEAR(s.camera.moveStep(), 1.95f, 1e-4f);
}

TEST(AppCamera, TurnModeBuildsTheViewFromTheAngles) {
  Steering s;
  s.frame({DIK_F2});
  s.frames(10, {DIK_UP});
  const float tenDegrees = 10.0f * kPi / 180.0f;
  ExpectNear(s.forward(), Vector(0, -std::sin(tenDegrees), std::cos(tenDegrees)), 1e-5f,
             "looking 10 degrees down; the start pose's look-at is gone");
  ExpectNear(s.position(), Vector(0, 0.2f, 0), 1e-6f, "turning keeps the position");
  s.frame({DIK_A});
  EXPECT_EQ(s.camera.turnStep(), 2.0f);
}

TEST(AppCamera, OrbitTurnsAboutTheWorldYAxis) {
  Steering s;
  s.frame({DIK_F3});
  s.frames(89, {});
  ExpectNear(s.forward(), Normalised(Vector(1, -0.2f, 0)), 2e-3f,
             "90 steps of 1 degree turn +Z into +X");
}

TEST(AppCamera, OrbitRepairsTheMatrixEvery26thStep) {
  Steering s;
  s.frame({DIK_F3});
  ExpectRepairEvery26thStep(
      s, [&] { s.frame(); }, scene::AppCamera::orbitStepCount, 1e-4f, 1e-3f);
}

TEST(AppCamera, MouseSteersInModesZeroToTwoOnly) {
  struct Case {
    std::initializer_list<std::uint8_t> keys;
    std::initializer_list<int> buttons;
    int dx, dy;
    const char* why;
  };
  const Case cases[] = {
      {{}, {1}, 2, 3, "right button slides right and up"},
      {{DIK_RSHIFT}, {0}, 0, 2, "shift and left button move forward"},
      {{}, {0}, 180, 0, "left button alone turns 90 degrees about world Y"},
      {{DIK_LCONTROL}, {0}, 900, 0, "control and left button turn 90 degrees about own up"},
  };
  for (const Case& c : cases) {
    Steering s;
    // Level the camera: an angle-based turn rebuilds the rotation from the angles, which a
    // turn left and back leaves at 0.
    s.frame({DIK_F2});
    s.frame({DIK_END});
    s.frame({DIK_NEXT});
    s.frame({DIK_F1});
    ExpectNear(s.forward(), Vector(0, 0, 1), 1e-6f, "level");
    const Vector position = s.position();
    const Vector right = s.right();
    const Vector up = s.up();
    const Vector forward = s.forward();
    s.frame(c.keys, c.dx, c.dy, c.buttons);
    switch (&c - cases) {
      case 0:
        ExpectNear(s.position(), position + right * 800.0f + up * (3 * 800 * 0.51f), 0.01f, c.why);
        break;
      case 1:
        ExpectNear(s.position(), position + forward * (2 * 800 + 0.0851f), 0.01f, c.why);
        break;
      case 2:
        ExpectNear(s.forward(), Vector(1, 0, 0), 1e-5f, c.why);
        ExpectNear(s.position(), position, 1e-5f, "the position is on the axis");
        break;
      case 3:
        EXPECT_NEAR(std::fabs(s.forward().x), 1.0f, 1e-5f) << c.why;
        ExpectNear(s.up(), up, 1e-5f, c.why);
        ExpectNear(s.position(), position, 1e-6f, c.why);
        break;
    }
  }

  Steering flight;
  flight.frame({}, 50, 50, {1});
  ExpectNear(flight.position(), Vector(0, 0.2f, 0), 1e-6f, "flight mode ignores the mouse");
}

TEST(AppCamera, SpaceAndScaleKeysActInEveryMode) {
  Steering s;
  s.frame({DIK_F1});
  s.frames(3, {DIK_UP});
  s.frame({DIK_MULTIPLY});
  EXPECT_EQ(s.camera.moveScale(), 802.0f);
  s.frame({DIK_DIVIDE});
  s.frame({DIK_DIVIDE});
  EXPECT_EQ(s.camera.moveScale(), 798.0f);
  s.frame({DIK_SPACE});
  EXPECT_EQ(s.camera.mode(), 3);
  EXPECT_EQ(s.camera.moveScale(), 800.0f);
  ExpectNear(s.position(), Vector(0, 0.2f, 0), 1e-6f, "back at the start pose");
}

TEST(AppCamera, ClassifiesBoxesAgainstTheFrustum) {
  Steering s;
  s.frame();
  const Vector eye = s.position();
  const Vector forward = s.forward();
  const Vector right = s.right();
  // Half the width of the view at distance 100 along the view axis.
  const float halfWidth = std::tan(12.5f * kPi / 180.0f) * 100.0f;
  const Vector at100 = eye + forward * 100.0f;
  auto cube = [](const Vector& centre, float half) {
    return BoundingBox(centre - Vector(half), centre + Vector(half));
  };
  struct Case {
    BoundingBox box;
    int expected;
    const char* why;
  };
  const Case cases[] = {
      {cube(eye + forward * 900000.0f, 10.0f), IntersectionCodes::OUTSIDE, "beyond the far plane"},
      {cube(at100, 1.0f), IntersectionCodes::INSIDE, "small box on the view axis"},
      {cube(at100 + right * halfWidth, 1.0f), IntersectionCodes::INTERSECTING,
       "straddles the +X side only"},
      {cube(eye - forward * 50.0f, 1.0f), IntersectionCodes::OUTSIDE, "behind the camera"},
      {BoundingBox(at100 + Vector(halfWidth + 5, -40, -1), at100 + Vector(halfWidth + 10, 40, 1)),
       IntersectionCodes::OUTSIDE, "outside +X while straddling both Y sides"},
  };
  for (const Case& c : cases) EXPECT_EQ(s.camera.boxVisibility(c.box), c.expected) << c.why;
}

TEST(AppCamera, IdentifiesItsClass) {
  scene::AppCamera camera;
  EXPECT_TRUE(IsEqualGUID(*camera.classId(), scene::kAppCameraClassId));
  EXPECT_EQ(camera.classId()->Data1, 0xEACB0EE9u);
}

}  // namespace

}  // namespace vantra::engine
