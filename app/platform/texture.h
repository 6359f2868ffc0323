// A 2D texture: level 0 lives in host memory, where LockRect hands it out cheaply; the
// OpenGL texture and its mipmaps are made from it when the texture is next drawn with.
#pragma once

#include <epoxy/gl.h>

#include <memory>
#include <vector>

#include "platform/bitmap_file.h"
#include "platform/context_link.h"
#include "platform/d3d9.h"
#include "platform/gl_name.h"
#include "platform/ref_counted.h"

namespace vantra::platform {

class Texture : public RefCounted<IDirect3DTexture9> {
 public:
  // Checks the request and makes an empty texture (levels 0 means the whole chain).
  static HRESULT Create(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, std::shared_ptr<ContextLink> context,
                        IDirect3DTexture9** texture);
  // A texture with a whole mipmap chain from a decoded image.
  Texture(BitmapFile::Image&& image, std::shared_ptr<ContextLink> context);

  DWORD GetLevelCount() override { return _levels; }
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                   DWORD Flags) override;
  HRESULT UnlockRect(UINT Level) override;

  // Render thread: the OpenGL texture with the latest level 0, uploaded through unit 0.
  GLuint glTexture();

  static bool IsSupportedFormat(D3DFORMAT format);
  static UINT FullChainLength(UINT width, UINT height);

 private:
  Texture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
          std::vector<BYTE> pixels, INT pitch, std::shared_ptr<ContextLink> context);
  ~Texture() override;
  void _upload();

  const UINT _width;
  const UINT _height;
  const UINT _levels;
  const DWORD _usage;
  const D3DFORMAT _format;
  const D3DPOOL _pool;
  std::vector<BYTE> _pixels;
  const INT _pitch;
  const std::shared_ptr<ContextLink> _context;
  GlTexture _name;
  bool _locked = false;
  bool _dirty = true;
};

}  // namespace vantra::platform
