// A text font: the face fontconfig finds closest to the description, rendered by FreeType
// once into a glyph atlas, and drawn as blended quads over the device's back buffer.
#pragma once

#include <epoxy/gl.h>

#include <memory>

#include "platform/com_ref.h"
#include "platform/context_link.h"
#include "platform/d3dx9.h"
#include "platform/gl_name.h"
#include "platform/ref_counted.h"

namespace vantra::platform {

class Device;

class Font : public RefCounted<ID3DXFont> {
 public:
  // Render thread.
  static HRESULT Create(Device* device, const D3DXFONT_DESCA& description, ID3DXFont** font);

  INT DrawText(ID3DXSprite* pSprite, const char* pString, INT Count, RECT* pRect, DWORD Format,
               D3DCOLOR Color) override;

 private:
  struct Glyph {
    int atlasX, atlasY, width, height;
    int left, top, advance;
  };

  explicit Font(Device* device);
  ~Font() override;
  bool _rasterise(const D3DXFONT_DESCA& description);
  bool _createProgram();

  const ComRef<Device> _device;
  const std::shared_ptr<ContextLink> _context;
  Glyph _glyphs[256] = {};
  int _ascent = 0;
  int _lineHeight = 0;
  GlTexture _atlas;
  GlProgram _program;
  GlVertexArray _vertexArray;
  GlBuffer _buffer;
  GLint _viewportLocation = -1;
  GLint _colourLocation = -1;
};

}  // namespace vantra::platform
