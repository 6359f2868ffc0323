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

class ShaderCache {
 public:
  static constexpr int MaxLights = 8;
  static constexpr int Stages = 2;
  static constexpr int MaxTexCoords = 8;

  // Material colour sources after the vertex format is taken into account.
  enum Source : std::uint8_t { FromMaterial = 0, FromDiffuse = 1 };

  struct StageKey {
    std::uint8_t colorOp, colorArg1, colorArg2;
    std::uint8_t alphaOp, alphaArg1, alphaArg2;
    std::uint8_t texCoord;  // vertex coordinate set; MaxTexCoords when the vertex has none
  };

  // Every byte matters: the key is hashed and compared as raw memory.
  struct Key {
    std::uint8_t hasNormal, hasDiffuse, texCoordCount;
    std::uint8_t lighting, specular, localViewer, normalizeNormals;
    std::uint8_t diffuseSource, ambientSource, specularSource, emissiveSource;
    std::uint8_t lightCount;
    std::uint8_t lightTypes[MaxLights];
    StageKey stages[Stages];
    std::uint8_t alphaFunc;  // 0 when the alpha test is off, else the comparison
    std::uint8_t wBuffer, flatShading;
    std::uint8_t nPatch;  // triangles with normals drawn as tessellated point-normal patches
  };

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
  Program* program(const Key& key);
  // Deletes the programs (render thread) or, elsewhere, just forgets them.
  void clear(bool deleteObjects);

  static std::string VertexSource(const Key& key);
  static std::string FragmentSource(const Key& key);
  // The two tessellation stages of an N-patch program (OpenGL 4.0).
  static std::string TessControlSource(const Key& key);
  static std::string TessEvaluationSource(const Key& key);

 private:
  std::unordered_map<std::string, Program> _programs;
  std::string _lastBytes;
  Program* _last = nullptr;
};
