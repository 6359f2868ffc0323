// The linked fixed-function programs, one per key, with the locations of their uniforms.
#pragma once

#include <epoxy/gl.h>

#include <string>
#include <unordered_map>

#include "platform/gl_name.h"
#include "platform/shader_key.h"

namespace vantra::platform {

class GlStateCache;

class ProgramCache {
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

  // A new program is made current through `bindings` to set its texture units.
  explicit ProgramCache(GlStateCache& bindings) : _bindings(bindings) {}
  ProgramCache(const ProgramCache&) = delete;
  ProgramCache& operator=(const ProgramCache&) = delete;

  // Render thread: the program for the key, built on first use; null if it fails to link.
  Program* program(const ShaderKey& key);
  // Deletes the programs (render thread) or, elsewhere, just forgets them.
  void clear(bool deleteObjects);

 private:
  GlStateCache& _bindings;
  std::unordered_map<std::string, Program> _programs;
  std::string _lastBytes;
  Program* _last = nullptr;
};

}  // namespace vantra::platform
