// A fixed white-grey directional light shining straight down.
#pragma once

#include <cstdint>

#include "scene/directional_light.h"

namespace vantra::scene {

constexpr GUID kTestLight2ClassId = {
    0xAFDF3491, 0x01B2, 0x4D84, {0xBD, 0xBF, 0x31, 0x9B, 0x09, 0x94, 0x4E, 0x14}};

class TestLight2 : public DirectionalLight {
 public:
  TestLight2();

  const GUID* classId() const override;
  void update() override;

 private:
  // Each instance takes the next light index; the count never decreases.
  static std::int32_t _instances;
};

}  // namespace vantra::scene
