#include "scene/test_light2.h"

std::int32_t TestLight2::_instances = 0;

TestLight2::TestLight2() : DirectionalLight(_instances++, 155.0f / 255.0f) {}

const GUID* TestLight2::classId() const { return &kTestLight2ClassId; }

void TestLight2::update() {}
