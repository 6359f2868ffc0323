// Reading and writing Windows bitmap files. Reading keeps the file's colour depth where it
// matters to callers (16-bit files stay 16-bit) and checks every size in the headers against
// the file's real length before any pixel is touched.
#pragma once

#include <vector>

#include "platform/d3d9.h"

class BitmapFile {
 public:
  // Rows top-down, `pitch` bytes apart. 32-bit formats hold 0xAARRGGBB words; X8R8G8B8
  // leaves the top byte zero.
  struct Image {
    UINT width = 0;
    UINT height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    INT pitch = 0;
    std::vector<BYTE> pixels;
  };

  // The largest side accepted, which is also the largest texture the device makes.
  static constexpr UINT MaxSide = 16384;

  // D3DERR_NOTFOUND when the file cannot be opened, D3DXERR_INVALIDDATA when it is not a
  // bitmap this reader understands or is shorter than its headers claim.
  static HRESULT Read(const char* path, Image* image);
  // Writes 32-bit words (0x??RRGGBB, top-down rows) as a 24-bit bitmap.
  static HRESULT Write(const char* path, UINT width, UINT height, const BYTE* pixels, INT pitch);
};
