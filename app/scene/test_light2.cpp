#include "scene/test_light2.h"

namespace vantra::scene {

std::int32_t TestLight2::_instances = 0;

// Each test light class numbers its own instances, so the first TestLight2 takes light
// index 0 as the first TestLight does: the design's scene programs both on the same slot,
// and the camera-following TestLight wins from its first update. Meant, not a slip.
TestLight2::TestLight2() : DirectionalLight(_instances++, 155.0f / 255.0f) {}

const GUID* TestLight2::classId() const { return &kTestLight2ClassId; }

void TestLight2::update() {}

}  // namespace vantra::scene
