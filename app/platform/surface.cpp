#include "platform/surface.h"

#include "platform/bitmap_file.h"
#include "platform/lock_offset.h"

namespace vantra::platform {

HRESULT Surface::Create(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                        IDirect3DSurface9** surface) {
  if (surface == nullptr) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (width == 0 || height == 0 || width > BitmapFile::kMaxSide || height > BitmapFile::kMaxSide)
    return D3DERR_INVALIDCALL;
  if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) return D3DERR_INVALIDCALL;
  if (pool != D3DPOOL_SYSTEMMEM && pool != D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  *surface = new Surface(width, height, format, pool);
  return D3D_OK;
}

Surface::Surface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool)
    : _width(width),
      _height(height),
      _format(format),
      _pool(pool),
      _pitch(static_cast<INT>(width * 4)),
      _pixels(static_cast<std::size_t>(_pitch) * height, 0) {}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* pDesc) {
  if (pDesc == nullptr) return D3DERR_INVALIDCALL;
  *pDesc =
      D3DSURFACE_DESC{_format, D3DRTYPE_SURFACE, 0, _pool, D3DMULTISAMPLE_NONE, 0, _width, _height};
  return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD) {
  if (pLockedRect == nullptr) return D3DERR_INVALIDCALL;
  pLockedRect->pBits = nullptr;
  pLockedRect->Pitch = 0;
  if (_locked) return D3DERR_INVALIDCALL;
  std::size_t offset = 0;
  if (!LockOffset(pRect, _width, _height, _pitch, 4, &offset)) return D3DERR_INVALIDCALL;
  _locked = true;
  pLockedRect->pBits = _pixels.data() + offset;
  pLockedRect->Pitch = _pitch;
  return D3D_OK;
}

HRESULT Surface::UnlockRect() {
  if (!_locked) return D3DERR_INVALIDCALL;
  _locked = false;
  return D3D_OK;
}

}  // namespace vantra::platform
