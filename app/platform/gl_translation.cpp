#include "platform/gl_translation.h"

namespace vantra::platform {

bool GlTranslation::PrimitiveMode(D3DPRIMITIVETYPE type, GLenum* mode) {
  switch (type) {
    case D3DPT_POINTLIST:
      *mode = GL_POINTS;
      return true;
    case D3DPT_LINELIST:
      *mode = GL_LINES;
      return true;
    case D3DPT_LINESTRIP:
      *mode = GL_LINE_STRIP;
      return true;
    case D3DPT_TRIANGLELIST:
      *mode = GL_TRIANGLES;
      return true;
    case D3DPT_TRIANGLESTRIP:
      *mode = GL_TRIANGLE_STRIP;
      return true;
    case D3DPT_TRIANGLEFAN:
      *mode = GL_TRIANGLE_FAN;
      return true;
  }
  return false;
}

GLenum GlTranslation::ReversedDepthFunc(DWORD func) {
  switch (func) {
    case D3DCMP_NEVER:
      return GL_NEVER;
    case D3DCMP_LESS:
      return GL_GREATER;
    case D3DCMP_EQUAL:
      return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
      return GL_GEQUAL;
    case D3DCMP_GREATER:
      return GL_LESS;
    case D3DCMP_NOTEQUAL:
      return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
      return GL_LEQUAL;
    default:
      return GL_ALWAYS;
  }
}

GLenum GlTranslation::BlendFactor(DWORD blend) {
  switch (blend) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    default:
      return GL_ONE;
  }
}

GLenum GlTranslation::BlendEquation(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT:
      return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
      return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
      return GL_MIN;
    case D3DBLENDOP_MAX:
      return GL_MAX;
    default:
      return GL_FUNC_ADD;
  }
}

GLenum GlTranslation::AddressMode(DWORD mode) {
  switch (mode) {
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
      return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
      return GL_CLAMP_TO_BORDER;
    default:
      return GL_REPEAT;
  }
}

GLenum GlTranslation::MinFilter(DWORD minFilter, DWORD mipFilter) {
  const bool linear = minFilter >= D3DTEXF_LINEAR;
  if (mipFilter == D3DTEXF_POINT)
    return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  if (mipFilter >= D3DTEXF_LINEAR)
    return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  return linear ? GL_LINEAR : GL_NEAREST;
}

GLenum GlTranslation::MagFilter(DWORD magFilter) {
  return magFilter >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
}

GLenum GlTranslation::PolygonMode(DWORD fillMode) {
  switch (fillMode) {
    case D3DFILL_POINT:
      return GL_POINT;
    case D3DFILL_WIREFRAME:
      return GL_LINE;
    default:
      return GL_FILL;
  }
}

GLenum GlTranslation::DepthInternalFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_D32F_LOCKABLE:
      return GL_DEPTH_COMPONENT32F;
    case D3DFMT_D24FS8:
      return GL_DEPTH32F_STENCIL8;
    case D3DFMT_D24S8:
      return GL_DEPTH24_STENCIL8;
    case D3DFMT_D24X8:
      return GL_DEPTH_COMPONENT24;
    case D3DFMT_D16:
      return GL_DEPTH_COMPONENT16;
    default:
      return 0;
  }
}

void GlTranslation::Colour(D3DCOLOR colour, float out[4]) {
  out[0] = ((colour >> 16) & 0xFF) / 255.0f;
  out[1] = ((colour >> 8) & 0xFF) / 255.0f;
  out[2] = (colour & 0xFF) / 255.0f;
  out[3] = ((colour >> 24) & 0xFF) / 255.0f;
}

}  // namespace vantra::platform
