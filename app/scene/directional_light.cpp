#include "scene/directional_light.h"

#include <cstring>

namespace vantra::scene {

DirectionalLight::DirectionalLight(std::int32_t lightIndex, float level)
    : _lightIndex(lightIndex), _level(level) {}

void DirectionalLight::hook(std::uint32_t) {}

void DirectionalLight::render() {}

void DirectionalLight::reset(engine::EngineServices* engine, IDirect3DDevice9* device) {
  _engine = engine;
  _device.retain(device);

  std::memset(&_light, 0, sizeof(_light));
  _light.Type = D3DLIGHT_DIRECTIONAL;
  _light.Diffuse = {_level, _level, _level, 0.0f};
  _light.Direction = {0.0f, -1.0f, 0.0f};
  _device->SetLight(_lightIndex, &_light);
  _device->LightEnable(_lightIndex, 1);
}

}  // namespace vantra::scene
