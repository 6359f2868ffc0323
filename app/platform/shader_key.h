// Everything of the device state that changes the generated fixed-function program, and
// the limits of that shading. It makes no OpenGL call and includes none, so the state
// block that fills it stays free of OpenGL.
#pragma once

#include <cstdint>

namespace vantra::platform {

// Every byte matters: the key is hashed and compared as raw memory.
struct ShaderKey {
  static constexpr int kMaxLights = 8;
  static constexpr int kStages = 2;
  static constexpr int kMaxTexCoords = 8;

  // Material colour sources after the vertex format is taken into account.
  enum Source : std::uint8_t { FromMaterial = 0, FromDiffuse = 1 };

  struct Stage {
    std::uint8_t colorOp, colorArg1, colorArg2;
    std::uint8_t alphaOp, alphaArg1, alphaArg2;
    std::uint8_t texCoord;  // vertex coordinate set; kMaxTexCoords when the vertex has none
  };

  std::uint8_t hasNormal, hasDiffuse, texCoordCount;
  std::uint8_t lighting, specular, localViewer, normalizeNormals;
  std::uint8_t diffuseSource, ambientSource, specularSource, emissiveSource;
  std::uint8_t lightCount;
  std::uint8_t lightTypes[kMaxLights];
  Stage stages[kStages];
  std::uint8_t alphaFunc;  // 0 when the alpha test is off, else the comparison
  std::uint8_t wBuffer, flatShading;
  std::uint8_t nPatch;  // triangles with normals drawn as tessellated point-normal patches
};

}  // namespace vantra::platform
