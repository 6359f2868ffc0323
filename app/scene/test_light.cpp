#include "scene/test_light.h"

#include "engine/camera.h"
#include "engine/engine_services.h"

namespace vantra::scene {

std::int32_t TestLight::_instances = 0;

TestLight::TestLight() : DirectionalLight(_instances++, 200.0f / 255.0f) {}

const GUID* TestLight::classId() const { return &kTestLightClassId; }

void TestLight::update() {
  const vantra::Matrix& camera = _engine->activeCamera()->cameraWorldMatrix();
  _light.Direction = {camera(2, 0), camera(2, 1), camera(2, 2)};
  _device->SetLight(lightIndex(), &_light);
}

}  // namespace vantra::scene
