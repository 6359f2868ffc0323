// Bitmap files built byte by byte for the reader's tests and the fuzzers' seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d9.h"

namespace vantra::platform {

// Writes v as `bytes` little-endian bytes at `at`, growing b as needed.
void PutBytes(std::vector<BYTE>& b, std::size_t at, std::uint32_t v, int bytes);

// A 3 x 2 bitmap with a header of 40 bytes or more; rows are file rows (bottom-up unless
// topDown).
struct BitmapLayout {
  explicit BitmapLayout(int bits = 24, std::uint32_t compressionCode = 0,
                        std::uint32_t headerSize = 40, std::vector<std::uint32_t> maskWords = {},
                        std::vector<std::uint32_t> paletteWords = {}, bool rowsTopDown = false)
      : bitCount(bits),
        compression(compressionCode),
        infoSize(headerSize),
        masks(std::move(maskWords)),
        palette(std::move(paletteWords)),
        topDown(rowsTopDown) {}
  int bitCount;
  std::uint32_t compression;
  std::uint32_t infoSize;
  std::vector<std::uint32_t> masks;  // written after the info header or inside it
  std::vector<std::uint32_t> palette;
  bool topDown;
};

std::vector<BYTE> MakeBitmap(const BitmapLayout& s, const std::vector<std::vector<BYTE>>& rows);

// A 3 x 2 palettised bitmap. A 12-byte core header keeps 3-byte palette entries (and rows
// bottom-up); longer headers keep 4-byte ones and declare `coloursUsed`. The pixel data
// starts right after the palette, moved by offsetShift bytes.
struct PaletteLayout {
  PaletteLayout(std::uint32_t headerSize, int bits, std::vector<std::uint32_t> entries,
                std::uint32_t declared = 0, bool rowsTopDown = false, int shift = 0)
      : infoSize(headerSize),
        bitCount(bits),
        palette(std::move(entries)),
        coloursUsed(declared),
        topDown(rowsTopDown),
        offsetShift(shift) {}
  std::uint32_t infoSize;
  int bitCount;
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::uint32_t coloursUsed;
  bool topDown;
  int offsetShift;
};

std::vector<BYTE> MakePalettised(const PaletteLayout& s,
                                 const std::vector<std::vector<BYTE>>& rows);

// Writes bytes to a file named name in the test's temporary directory; returns its path.
std::string WriteTestFile(const std::string& name, const std::vector<BYTE>& bytes);

}  // namespace vantra::platform
