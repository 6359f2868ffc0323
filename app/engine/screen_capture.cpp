#include "engine/screen_capture.h"

#include "engine/com_ref.h"
#include "platform/d3dx9.h"

HRESULT saveScreenCapture(IDirect3DDevice9* device, const char* fileName) {
  D3DDISPLAYMODE mode = {};
  HRESULT hr = device->GetDisplayMode(0, &mode);
  if (FAILED(hr)) return hr;
  ComRef<IDirect3DSurface9> surface;
  hr = device->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8,
                                           D3DPOOL_SYSTEMMEM, surface.out(), nullptr);
  if (FAILED(hr)) return hr;
  hr = device->GetFrontBufferData(0, surface.get());
  if (SUCCEEDED(hr))
    hr = D3DXSaveSurfaceToFile(fileName, D3DXIFF_BMP, surface.get(), nullptr, nullptr);
  return hr;
}
