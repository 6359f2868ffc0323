// The one place that turns device state into shading code: a key of everything that
// changes the generated fixed-function program, and a cache of linked programs per key.
// N-patch programs add tessellation stages that curve each triangle and shade the
// vertices they generate.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/gl_name.h"
#include "platform/shader_key.h"

class ShaderCache {
 public:
  struct Program {
    GlProgram name;
    GLint worldView = -1, projection = -1, normalMatrix = -1;
    GLint materialDiffuse = -1, materialAmbient = -1, materialSpecular = -1, materialEmissive = -1,
          materialPower = -1, globalAmbient = -1;
    GLint lightDiffuse = -1, lightSpecular = -1, lightAmbient = -1, lightDirection = -1,
          lightPosition = -1, lightAttenuation = -1, lightRange = -1, lightSpot = -1;
    GLint textureFactor = -1, alphaRef = -1, depthRange = -1, tessLevel = -1;
    unsigned long uniformVersion = 0;
  };

  ShaderCache() = default;
  ShaderCache(const ShaderCache&) = delete;
  ShaderCache& operator=(const ShaderCache&) = delete;

  // Render thread: the program for the key, built on first use; null if it fails to link.
  Program* program(const ShaderKey& key);
  // Deletes the programs (render thread) or, elsewhere, just forgets them.
  void clear(bool deleteObjects);

  static std::string VertexSource(const ShaderKey& key);
  static std::string FragmentSource(const ShaderKey& key);
  // The two tessellation stages of an N-patch program (OpenGL 4.0).
  static std::string TessControlSource(const ShaderKey& key);
  static std::string TessEvaluationSource(const ShaderKey& key);

 private:
  std::unordered_map<std::string, Program> _programs;
  std::string _lastBytes;
  Program* _last = nullptr;
};
