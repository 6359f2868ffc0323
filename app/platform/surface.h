// An off-screen plain surface in system memory: 32-bit pixels the caller can lock, read and
// save, and that the device fills from its front buffer.
#pragma once

#include <vector>

#include "platform/d3d9.h"
#include "platform/ref_counted.h"

namespace vantra::platform {

class Surface : public RefCounted<IDirect3DSurface9> {
 public:
  static HRESULT Create(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                        IDirect3DSurface9** surface);

  HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
  HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect() override;

  UINT width() const { return _width; }
  UINT height() const { return _height; }
  D3DFORMAT format() const { return _format; }
  INT pitch() const { return _pitch; }
  BYTE* pixels() { return _pixels.data(); }

 private:
  Surface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool);
  ~Surface() override = default;

  const UINT _width;
  const UINT _height;
  const D3DFORMAT _format;
  const D3DPOOL _pool;
  const INT _pitch;
  std::vector<BYTE> _pixels;
  bool _locked = false;
};

}  // namespace vantra::platform
