// Reading and writing Windows bitmap files. Reading keeps the file's colour depth where it
// matters to callers (16-bit files stay 16-bit). Every file is treated as hostile: the headers
// are read and checked before anything is allocated, and every decoded pixel comes from bytes
// the file holds.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d9.h"

namespace vantra::platform {

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
  static constexpr UINT kMaxSide = 16384;
  // The most decoded pixel memory one file may take.
  static constexpr std::uint64_t kMaxPixelBytes = 256ull * 1024 * 1024;

  // Sides beyond maxSide (or kMaxSide, whichever is smaller) are refused. D3DERR_NOTFOUND when
  // the file cannot be opened, D3DXERR_INVALIDDATA when it is not a bitmap this reader
  // understands, is no regular file, is shorter than its headers claim, or exceeds the
  // limits. A FIFO or a device is refused without waiting on it. Every failure
  // writes one line "<path>: <reason>" on standard error.
  static HRESULT Read(const char* path, Image* image, UINT maxSide = kMaxSide);
  // Writes 32-bit words (0x??RRGGBB, top-down rows) as a 24-bit bitmap. The file appears
  // complete or not at all: an existing file at path is replaced only after a full write.
  // E_FAIL with errno set when the file cannot be written.
  static HRESULT Write(const char* path, UINT width, UINT height, const BYTE* pixels, INT pitch);
};

}  // namespace vantra::platform
