// The translation tables: each device enumeration to the OpenGL value that does the same.
// Values outside a table's range fall back to the device's default for that state.
#pragma once

#include <epoxy/gl.h>

#include "platform/d3d9.h"

namespace vantra::platform {

class GlTranslation {
 public:
  // False for a primitive type the device does not know.
  static bool PrimitiveMode(D3DPRIMITIVETYPE type, GLenum* mode);
  // Depth is stored reversed (far is 0), so each comparison turns around.
  static GLenum ReversedDepthFunc(DWORD func);
  static GLenum BlendFactor(DWORD blend);
  static GLenum BlendEquation(DWORD op);
  static GLenum AddressMode(DWORD mode);
  static GLenum MinFilter(DWORD minFilter, DWORD mipFilter);
  static GLenum MagFilter(DWORD magFilter);
  static GLenum PolygonMode(DWORD fillMode);
  // 0 for a format that is no depth format the device makes.
  static GLenum DepthInternalFormat(D3DFORMAT format);
  // 0xAARRGGBB as red, green, blue and alpha from 0 to 1.
  static void Colour(D3DCOLOR colour, float out[4]);
};

}  // namespace vantra::platform
