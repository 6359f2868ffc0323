#include "camera_steering.h"

namespace vantra::engine {

Steering::Steering() {
  _input.create(&_source);
  _input.setKeyboardAcquired(true);
  _input.setMouseAcquired(true);
  camera.setDefaultMoveScale(800.0f);
  camera.reset(nullptr, nullptr);
}

void Steering::frame(std::initializer_list<std::uint8_t> keys, int dx, int dy,
                     std::initializer_list<int> buttons) {
  for (std::uint8_t key : keys) _source.setKey(key, true);
  for (int button : buttons) _source.setButton(button, true);
  _source.addMotion(dx, dy);
  _input.pollKeyboard();
  _input.pollMouse();
  camera.steer(_input);
  _source.releaseAll();
}

void Steering::frames(int count, std::initializer_list<std::uint8_t> keys) {
  for (int i = 0; i < count; ++i) frame(keys);
}

vantra::Vector Steering::_row(int row) {
  const vantra::Matrix& m = camera.cameraWorldMatrix();
  return vantra::Vector(m(row, 0), m(row, 1), m(row, 2));
}

void ExpectRepairEvery26thStep(Steering& s, const std::function<void()>& step,
                               std::int32_t (*stepCount)(), float repairedTolerance,
                               float leftAloneTolerance) {
  vantra::Matrix& w = s.camera.cameraWorldMatrix();
  for (int c = 0; c < 3; ++c) w(0, c) *= 2.0f;
  int repairs = 0;
  int stepsSinceRepair = -1;
  for (int i = 0; i < 60; ++i) {
    step();
    if (stepCount() == 0) {
      EXPECT_NEAR(Length(s.right()), 1.0f, repairedTolerance) << "repaired at step " << i;
      if (stepsSinceRepair >= 0) {
        EXPECT_EQ(stepsSinceRepair, 25) << "steps left alone between two repairs";
      }
      ++repairs;
      stepsSinceRepair = 0;
      for (int c = 0; c < 3; ++c) w(0, c) *= 2.0f;
    } else {
      EXPECT_NEAR(Length(s.right()), 2.0f, leftAloneTolerance) << "left alone at step " << i;
      if (stepsSinceRepair >= 0) ++stepsSinceRepair;
    }
  }
  EXPECT_GE(repairs, 2);
}

}  // namespace vantra::engine
