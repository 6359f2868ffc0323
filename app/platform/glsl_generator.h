// The one place that turns device state into shading code: GLSL for the fixed-function
// program a key describes. N-patch programs add tessellation stages that curve each
// triangle and shade the vertices they generate. It calls no OpenGL.
#pragma once

#include <string>

#include "platform/shader_key.h"

namespace vantra::platform {

class GlslGenerator {
 public:
  static std::string VertexSource(const ShaderKey& key);
  static std::string FragmentSource(const ShaderKey& key);
  // The two tessellation stages of an N-patch program (OpenGL 4.0).
  static std::string TessControlSource(const ShaderKey& key);
  static std::string TessEvaluationSource(const ShaderKey& key);
};

}  // namespace vantra::platform
