// The uniforms of a generated fixed-function program, made from the device's state block:
// transforms (multiplied in double precision), reversed-depth projection, material,
// lights in view space, texture factor, alpha reference and tessellation level.
#pragma once

#include "platform/program_cache.h"

namespace vantra::platform {

class DeviceState;

class FixedFunctionUniforms {
 public:
  // Render thread, with `program` in use.
  static void Upload(const ProgramCache::Program& program, const DeviceState& state,
                     float maxTessellationLevel);
};

}  // namespace vantra::platform
