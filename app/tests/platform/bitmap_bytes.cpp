#include "bitmap_bytes.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace vantra::platform {

namespace {

constexpr int kWidth = 3;
constexpr int kHeight = 2;

void AppendRows(std::vector<BYTE>& b, int bitCount, const std::vector<std::vector<BYTE>>& rows) {
  const std::size_t rowBytes = (kWidth * bitCount + 31) / 32 * 4;
  for (const auto& row : rows) {
    std::vector<BYTE> padded = row;
    padded.resize(rowBytes, 0);
    b.insert(b.end(), padded.begin(), padded.end());
  }
  PutBytes(b, 2, static_cast<std::uint32_t>(b.size()), 4);
}

}  // namespace

void PutBytes(std::vector<BYTE>& b, std::size_t at, std::uint32_t v, int bytes) {
  if (b.size() < at + bytes) b.resize(at + bytes, 0);
  for (int i = 0; i < bytes; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

std::vector<BYTE> MakeBitmap(const BitmapLayout& s, const std::vector<std::vector<BYTE>>& rows) {
  std::vector<BYTE> b;
  const std::size_t maskBytes = s.infoSize == 40 ? 4 * s.masks.size() : 0;
  const std::size_t dataOffset = 14 + s.infoSize + maskBytes + 4 * s.palette.size();
  b.assign(dataOffset, 0);
  b[0] = 'B';
  b[1] = 'M';
  PutBytes(b, 10, static_cast<std::uint32_t>(dataOffset), 4);
  PutBytes(b, 14, s.infoSize, 4);
  PutBytes(b, 18, kWidth, 4);
  PutBytes(b, 22, static_cast<std::uint32_t>(s.topDown ? -kHeight : kHeight), 4);
  PutBytes(b, 26, 1, 2);
  PutBytes(b, 28, s.bitCount, 2);
  PutBytes(b, 30, s.compression, 4);
  PutBytes(b, 46, static_cast<std::uint32_t>(s.palette.size()), 4);
  for (std::size_t i = 0; i < s.masks.size(); ++i) PutBytes(b, 54 + 4 * i, s.masks[i], 4);
  for (std::size_t i = 0; i < s.palette.size(); ++i)
    PutBytes(b, 14 + s.infoSize + maskBytes + 4 * i, s.palette[i], 4);
  AppendRows(b, s.bitCount, rows);
  return b;
}

std::vector<BYTE> MakePalettised(const PaletteLayout& s,
                                 const std::vector<std::vector<BYTE>>& rows) {
  const bool core = s.infoSize == 12;
  const std::size_t entryBytes = core ? 3 : 4;
  const std::size_t paletteAt = 14 + s.infoSize;
  const std::size_t dataOffset = paletteAt + entryBytes * s.palette.size() + s.offsetShift;
  std::vector<BYTE> b(paletteAt, 0);
  b[0] = 'B';
  b[1] = 'M';
  PutBytes(b, 10, static_cast<std::uint32_t>(dataOffset), 4);
  PutBytes(b, 14, s.infoSize, 4);
  if (core) {
    PutBytes(b, 18, kWidth, 2);
    PutBytes(b, 20, kHeight, 2);
    PutBytes(b, 22, 1, 2);
    PutBytes(b, 24, s.bitCount, 2);
  } else {
    PutBytes(b, 18, kWidth, 4);
    PutBytes(b, 22, static_cast<std::uint32_t>(s.topDown ? -kHeight : kHeight), 4);
    PutBytes(b, 26, 1, 2);
    PutBytes(b, 28, s.bitCount, 2);
    PutBytes(b, 46, s.coloursUsed, 4);
  }
  for (std::size_t i = 0; i < s.palette.size(); ++i)
    PutBytes(b, paletteAt + entryBytes * i, s.palette[i], static_cast<int>(entryBytes));
  b.resize(dataOffset, 0);
  AppendRows(b, s.bitCount, rows);
  return b;
}

std::string WriteTestFile(const std::string& name, const std::vector<BYTE>& bytes) {
  const std::string path = ::testing::TempDir() + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

}  // namespace vantra::platform
