// The camera's steering keys in each mode, one frame at a time, checked against the turns and
// moves that each key stands for.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "camera_steering.h"
#include "platform/dinput_keys.h"

namespace vantra::engine {

namespace {

using vantra::Vector;

constexpr float kPi = 3.14159265f;

float Radians(float degrees) { return degrees * kPi / 180.0f; }

// Raises the flight speed to 0.5: each flight steering key then turns by 2 * 0.5 * 4 = 4
// degrees.
void FlyAtHalfSpeed(Steering& s) { s.frames(5, {DIK_ADD}); }

// Twists and looks rebuild the rotation from the camera's angles alone, then the camera
// flies 800 * 0.5 units along its new forward axis.
TEST(SteeringKeys, FlightTwistsAndLooksByFourDegrees) {
  const float c = std::cos(Radians(4)), s = std::sin(Radians(4));
  struct Case {
    std::initializer_list<std::uint8_t> keys;
    Vector right;
    Vector forward;
    const char* why;
  };
  const Case cases[] = {
      {{DIK_LEFT}, Vector(c, s, 0), Vector(0, 0, 1), "Left twists left: the right axis rises"},
      {{DIK_RIGHT}, Vector(c, -s, 0), Vector(0, 0, 1), "Right twists right"},
      {{DIK_NUMPAD0}, Vector(c, 0, s), Vector(-s, 0, c), "keypad 0 looks left"},
      {{DIK_DECIMAL}, Vector(c, 0, -s), Vector(s, 0, c), "keypad point looks right"},
      {{DIK_NUMPAD0, DIK_LEFT}, Vector(c, s, 0), Vector(0, 0, 1), "Left wins over keypad 0"},
  };
  for (const Case& k : cases) {
    Steering flight;
    FlyAtHalfSpeed(flight);
    const Vector before = flight.position();
    flight.frame(k.keys);
    ExpectNear(flight.right(), k.right, 1e-5f, k.why);
    ExpectNear(flight.forward(), k.forward, 1e-5f, k.why);
    ExpectNear(flight.position() - before, k.forward * 400.0f, 0.01f, k.why);
  }
}

// Up and Down pitch about the right axis by the same 4 degrees in opposite directions; Down
// wins when both are held.
TEST(SteeringKeys, FlightDownPitchesOppositeToUp) {
  Steering up, down, both;
  for (Steering* s : {&up, &down, &both}) FlyAtHalfSpeed(*s);
  const Vector start = up.forward();
  const Vector right = up.right();
  up.frame({DIK_UP});
  down.frame({DIK_DOWN});
  both.frame({DIK_UP, DIK_DOWN});
  ExpectNear(down.right(), right, 1e-5f, "the turn is about the right axis");
  EXPECT_NEAR(down.forward() % start, std::cos(Radians(4)), 1e-5f) << "4 degrees";
  ExpectNear(up.forward() + down.forward(), start * (2 * std::cos(Radians(4))), 1e-5f,
             "mirror images of each other about the start");
  EXPECT_NEAR(Length(up.forward() - down.forward()), 2 * std::sin(Radians(4)), 1e-5f);
  ExpectNear(both.forward(), down.forward(), 1e-6f, "Down held with Up pitches down");
}

TEST(SteeringKeys, MoveModeSlidesAlongTheCameraAxes) {
  struct Case {
    std::uint8_t key;
    float rightSteps, upSteps;
    const char* why;
  };
  const Case cases[] = {
      {DIK_LEFT, -1, 0, "Left moves one step left"},
      {DIK_RIGHT, 1, 0, "Right moves one step right"},
      {DIK_END, 0, -1, "End moves one step down"},
  };
  for (const Case& c : cases) {
    Steering s;
    s.frame({DIK_F1});
    const Vector start = s.position();
    const Vector right = s.right();
    const Vector up = s.up();
    s.frame({c.key});
    ExpectNear(s.position(), start + right * c.rightSteps + up * c.upSteps, 1e-5f, c.why);
    ExpectNear(s.right(), right, 1e-6f, "moving keeps the orientation");
  }
}

// A twist of one turn step about the forward axis, from angles that are otherwise zero: the
// start pose's look-at is discarded and the position kept.
TEST(SteeringKeys, TurnModeTwistsByOneTurnStep) {
  const float c = std::cos(Radians(1)), s = std::sin(Radians(1));
  struct Case {
    std::uint8_t key;
    Vector right;
    Vector up;
    const char* why;
  };
  const Case cases[] = {
      {DIK_LEFT, Vector(c, s, 0), Vector(-s, c, 0), "Left twists left"},
      {DIK_RIGHT, Vector(c, -s, 0), Vector(s, c, 0), "Right twists right"},
  };
  for (const Case& k : cases) {
    Steering turn;
    turn.frame({DIK_F2});
    turn.frame({k.key});
    ExpectNear(turn.right(), k.right, 1e-6f, k.why);
    ExpectNear(turn.up(), k.up, 1e-6f, k.why);
    ExpectNear(turn.forward(), Vector(0, 0, 1), 1e-6f, k.why);
    ExpectNear(turn.position(), Vector(0, 0.2f, 0), 1e-6f, k.why);
  }
}

TEST(SteeringKeys, FirstHeldModeKeyWins) {
  struct Case {
    std::initializer_list<std::uint8_t> keys;
    int mode;
  };
  const Case cases[] = {{{DIK_F2, DIK_F1}, 0},
                        {{DIK_F4, DIK_F1}, 0},
                        {{DIK_F3, DIK_F2}, 1},
                        {{DIK_F4, DIK_F3}, 2},
                        {{DIK_F4}, 3}};
  for (const Case& c : cases) {
    Steering s;
    s.frame({DIK_F2});
    s.frame(c.keys);
    EXPECT_EQ(s.camera.mode(), c.mode) << "F" << c.mode + 1 << " comes first";
  }
}

// The control-key mouse rotation counts its steps and orthonormalises the camera matrix on
// every 26th; the rotation itself is zero here, so only the repairs change the matrix.
TEST(SteeringKeys, ControlDragRepairsTheMatrixEvery26thStep) {
  Steering s;
  s.frame({DIK_F1});
  ExpectRepairEvery26thStep(
      s, [&] { s.frame({DIK_LCONTROL}, 0, 0, {0}); }, scene::AppCamera::controlRotationStepCount,
      1e-5f, 1e-5f);
}

}  // namespace

}  // namespace vantra::engine
