// The interface through which the engine drives everything it updates and draws.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/d3d9.h"

class D3D;

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
  // Creates the device resources and remembers the engine and the device; may throw.
  virtual void reset(D3D* engine, IDirect3DDevice9* device) = 0;
};

// Class identifiers of the scene's objects.
constexpr GUID kAppCameraClassId = {
    0xEACB0EE9, 0xF9E1, 0x45FC, {0x91, 0x91, 0x7B, 0xC8, 0xAC, 0xBF, 0x93, 0x94}};
constexpr GUID kTestLightClassId = {
    0xEE02B15D, 0x2F68, 0x448F, {0x84, 0xE0, 0x1D, 0xE1, 0xB3, 0xE8, 0x68, 0x64}};
constexpr GUID kTestLight2ClassId = {
    0xAFDF3491, 0x01B2, 0x4D84, {0xBD, 0xBF, 0x31, 0x9B, 0x09, 0x94, 0x4E, 0x14}};
constexpr GUID kTerrainClassId = {
    0x2250A59F, 0xEE73, 0x4C04, {0x8C, 0xB6, 0xBB, 0x34, 0x0D, 0x4E, 0xED, 0x45}};

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof(a.Data4)) == 0;
}
