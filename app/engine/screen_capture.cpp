#include "engine/screen_capture.h"

#include <cerrno>
#include <cstring>

#include "platform/com_ref.h"
#include "platform/d3dx9.h"

namespace vantra::engine {

HRESULT saveScreenCapture(IDirect3DDevice9* device, const char* fileName, std::string* why) {
  D3DDISPLAYMODE mode = {};
  HRESULT hr = device->GetDisplayMode(0, &mode);
  platform::ComRef<IDirect3DSurface9> surface;
  if (SUCCEEDED(hr))
    hr = device->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8,
                                             D3DPOOL_SYSTEMMEM, surface.out(), nullptr);
  if (SUCCEEDED(hr)) hr = device->GetFrontBufferData(0, surface.get());
  if (FAILED(hr)) {
    if (why != nullptr) *why = DXGetErrorDescription9(hr);
    return hr;
  }
  errno = 0;
  hr = D3DXSaveSurfaceToFile(fileName, D3DXIFF_BMP, surface.get(), nullptr, nullptr);
  // The bitmap writer leaves the system's reason for a failed write in errno.
  if (FAILED(hr) && why != nullptr)
    *why = errno != 0 ? std::strerror(errno) : DXGetErrorDescription9(hr);
  return hr;
}

}  // namespace vantra::engine
