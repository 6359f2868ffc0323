// A white-grey directional light that follows the active camera's view direction.
#pragma once

#include <cstdint>

#include "scene/directional_light.h"

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
