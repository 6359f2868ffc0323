// An application camera as the engine sets it up, steered from a real input source one
// frame at a time, for the camera's key and mouse tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>

#include "engine/input_devices.h"
#include "platform/event_input_source.h"
#include "scene/app_camera.h"

namespace vantra::engine {

inline float Length(const vantra::Vector& v) { return std::sqrt(v.magnitudeSquare()); }

inline void ExpectNear(const vantra::Vector& actual, const vantra::Vector& expected,
                       float tolerance, const char* why) {
  EXPECT_NEAR(actual.x, expected.x, tolerance) << why;
  EXPECT_NEAR(actual.y, expected.y, tolerance) << why;
  EXPECT_NEAR(actual.z, expected.z, tolerance) << why;
}

class Steering {
 public:
  Steering();

  // One frame with these keys and buttons held (released afterwards) and this motion.
  void frame(std::initializer_list<std::uint8_t> keys = {}, int dx = 0, int dy = 0,
             std::initializer_list<int> buttons = {});
  void frames(int count, std::initializer_list<std::uint8_t> keys);

  vantra::Vector position() { return _row(3); }
  vantra::Vector right() { return _row(0); }
  vantra::Vector up() { return _row(1); }
  vantra::Vector forward() { return _row(2); }

  scene::AppCamera camera;

 private:
  vantra::Vector _row(int row);

  platform::EventInputSource _source;
  InputDevices _input;
};

// Stretches the camera's right axis to twice its length, then takes 60 steps: a step after
// which stepCount() is 0 must have repaired the axis to unit length, 25 steps after the
// previous repair; any other step must have left it alone. Each repair is stretched again.
// The tolerances are for the repaired and the left-alone lengths.
void ExpectRepairEvery26thStep(Steering& s, const std::function<void()>& step,
                               std::int32_t (*stepCount)(), float repairedTolerance,
                               float leftAloneTolerance);

}  // namespace vantra::engine
