// A fixed white-grey directional light shining straight down.
#pragma once

#include <cstdint>

#include "scene/directional_light.h"

class TestLight2 : public DirectionalLight {
 public:
  TestLight2();

  const GUID* classId() const override;
  void update() override;

 private:
  // Each instance takes the next light index; the count never decreases.
  static std::int32_t _instances;
};
