// A device on a small headless target, for tests that render for real and read the
// presented pixels back. Shared by the platform, engine and terrain tests.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/com_ref.h"
#include "platform/d3d9.h"
#include "platform/headless_window.h"
#include "platform/scripted_input_source.h"

namespace vantra::platform {

class RenderTarget {
 public:
  explicit RenderTarget(int width = 32, int height = 32,
                        D3DFORMAT depthFormat = D3DFMT_D32F_LOCKABLE,
                        D3DSWAPEFFECT swapEffect = D3DSWAPEFFECT_FLIP);

  IDirect3DDevice9* device() const { return _device.get(); }
  int width() const { return _width; }
  int height() const { return _height; }
  // The device's reference count, measured without changing it.
  ULONG deviceReferences() const { return _device.references(); }
  // Presents the back buffer and reads the front buffer through a capture surface:
  // 0x00RRGGBB words, top row first.
  std::vector<std::uint32_t> presentAndCapture();
  // Reads the front buffer without presenting.
  std::vector<std::uint32_t> capture();

  static int Red(std::uint32_t pixel) { return (pixel >> 16) & 0xFF; }
  static int Green(std::uint32_t pixel) { return (pixel >> 8) & 0xFF; }
  static int Blue(std::uint32_t pixel) { return pixel & 0xFF; }

 private:
  const int _width;
  const int _height;
  ScriptedInputSource _input;
  HeadlessWindow _window;
  ComRef<IDirect3D9> _direct3d;
  ComRef<IDirect3DDevice9> _device;
};

// An opaque managed 2 x 2 texture; texels[row][column] are 0xRRGGBB words. Null when the
// device cannot create it.
ComRef<IDirect3DTexture9> Texture2x2(IDirect3DDevice9* device, const std::uint32_t texels[2][2]);

// Position and diffuse colour, and the full terrain vertex.
struct ColourVertex {
  float x, y, z;
  D3DCOLOR colour;
};
struct FullVertex {
  float x, y, z;
  float nx, ny, nz;
  D3DCOLOR colour;
  float u0, v0, u1, v1;
};
constexpr DWORD kColourFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;
constexpr DWORD kFullFvf = 0x252;

}  // namespace vantra::platform
