#include "render_target.h"

#include <stdexcept>

namespace vantra::platform {

RenderTarget::RenderTarget(int width, int height, D3DFORMAT depthFormat, D3DSWAPEFFECT swapEffect)
    : _width(width), _height(height), _window(width, height, _input) {
  _direct3d = ComRef<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  D3DPRESENT_PARAMETERS parameters{};
  parameters.SwapEffect = swapEffect;
  parameters.Windowed = 1;
  parameters.EnableAutoDepthStencil = depthFormat != D3DFMT_UNKNOWN;
  parameters.AutoDepthStencilFormat = depthFormat;
  parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  if (!_direct3d) throw std::runtime_error("no Direct3D object");
  if (FAILED(_direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &_window,
                                     D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                                     _device.out())))
    throw std::runtime_error("no device on the headless target");
}

std::vector<std::uint32_t> RenderTarget::presentAndCapture() {
  if (FAILED(_device->Present(nullptr, nullptr, nullptr, nullptr))) return {};
  return capture();
}

std::vector<std::uint32_t> RenderTarget::capture() {
  std::vector<std::uint32_t> pixels;
  D3DDISPLAYMODE mode{};
  ComRef<IDirect3DSurface9> surface;
  if (FAILED(_device->GetDisplayMode(0, &mode)) ||
      FAILED(_device->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8,
                                                  D3DPOOL_SYSTEMMEM, surface.out(), nullptr)))
    return pixels;
  D3DLOCKED_RECT locked{};
  if (SUCCEEDED(_device->GetFrontBufferData(0, surface.get())) &&
      SUCCEEDED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
    for (UINT row = 0; row < mode.Height; ++row) {
      const auto* words = reinterpret_cast<const std::uint32_t*>(
          static_cast<const BYTE*>(locked.pBits) + static_cast<std::size_t>(row) * locked.Pitch);
      for (UINT x = 0; x < mode.Width; ++x) pixels.push_back(words[x] & 0xFFFFFF);
    }
    surface->UnlockRect();
  }
  return pixels;
}

ComRef<IDirect3DTexture9> Texture2x2(IDirect3DDevice9* device, const std::uint32_t texels[2][2]) {
  ComRef<IDirect3DTexture9> texture;
  if (FAILED(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.out(),
                                   nullptr)))
    return {};
  D3DLOCKED_RECT locked{};
  texture->LockRect(0, &locked, nullptr, 0);
  for (int row = 0; row < 2; ++row)
    for (int x = 0; x < 2; ++x)
      reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) + row * locked.Pitch)[x] =
          0xFF000000u | texels[row][x];
  texture->UnlockRect(0);
  return texture;
}

}  // namespace vantra::platform
