// The interface through which the engine drives everything it updates and draws.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/d3d9.h"

// Compares two class identifiers.
inline bool IsEqualGUID(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof(a.Data4)) == 0;
}

namespace vantra::engine {

class EngineServices;

// A scene object. The engine owns its objects, calls reset() once after the device exists,
// then update() and render() once per frame on the render thread, and deletes them after
// the render thread has ended.
class Object {
 public:
  virtual ~Object() = default;

  // Unused hook; every object ignores it.
  virtual void hook(std::uint32_t value) = 0;
  // Identifies the concrete class.
  virtual const GUID* classId() const = 0;
  // Per frame, before the scene is begun.
  virtual void update() = 0;
  // Per frame, inside the scene.
  virtual void render() = 0;
  // Creates the device resources and remembers the engine's services and the device; may
  // throw.
  virtual void reset(EngineServices* engine, IDirect3DDevice9* device) = 0;
};

}  // namespace vantra::engine
