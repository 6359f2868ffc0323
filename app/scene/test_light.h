// A white-grey directional light that follows the active camera's view direction.
#pragma once

#include <cstdint>

#include "scene/directional_light.h"

namespace vantra::scene {

constexpr GUID kTestLightClassId = {
    0xEE02B15D, 0x2F68, 0x448F, {0x84, 0xE0, 0x1D, 0xE1, 0xB3, 0xE8, 0x68, 0x64}};

class TestLight : public DirectionalLight {
 public:
  TestLight();

  const GUID* classId() const override;
  // Points the light along the active camera's forward axis and sets it again.
  void update() override;

 private:
  // Each instance takes the next light index; the count never decreases.
  static std::int32_t _instances;
};

}  // namespace vantra::scene
