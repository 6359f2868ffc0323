// The part the two test lights share: a white-grey directional light on one device light
// slot, programmed and enabled by reset. The derived classes choose the level and the slot.
#pragma once

#include <cstdint>

#include "engine/object.h"
#include "platform/com_ref.h"

namespace vantra::scene {

class DirectionalLight : public engine::Object {
 public:
  DirectionalLight(const DirectionalLight&) = delete;
  DirectionalLight& operator=(const DirectionalLight&) = delete;

  void hook(std::uint32_t value) override;
  void render() override;
  // Keeps the engine and a reference on the device, then programs the light shining
  // straight down and enables it.
  void reset(engine::EngineServices* engine, IDirect3DDevice9* device) override;

  std::int32_t lightIndex() const { return _lightIndex; }

 protected:
  DirectionalLight(std::int32_t lightIndex, float level);

  platform::ComRef<IDirect3DDevice9> _device;
  engine::EngineServices* _engine = nullptr;
  D3DLIGHT9 _light;

 private:
  const std::int32_t _lightIndex;
  const float _level;
};

}  // namespace vantra::scene
