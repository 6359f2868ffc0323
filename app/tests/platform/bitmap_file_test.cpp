// Texture loading from bitmap files: the formats callers see, and hostile files that must
// fail cleanly. Run these under AddressSanitizer (label "sanitize").
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/d3dx9.h"
#include "render_target.h"

namespace {

void Put(std::vector<BYTE>& b, std::size_t at, std::uint32_t v, int bytes) {
  if (b.size() < at + bytes) b.resize(at + bytes, 0);
  for (int i = 0; i < bytes; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

// A 3 x 2 bitmap; `row(y, bytes)` gives file row y (bottom-up unless topDown) as bytes.
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

std::vector<BYTE> MakeBitmap(const BitmapLayout& s, const std::vector<std::vector<BYTE>>& rows) {
  const int width = 3, height = 2;
  std::vector<BYTE> b;
  const std::size_t maskBytes = s.infoSize == 40 ? 4 * s.masks.size() : 0;
  const std::size_t dataOffset = 14 + s.infoSize + maskBytes + 4 * s.palette.size();
  b.assign(dataOffset, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put(b, 10, static_cast<std::uint32_t>(dataOffset), 4);
  Put(b, 14, s.infoSize, 4);
  Put(b, 18, width, 4);
  Put(b, 22, static_cast<std::uint32_t>(s.topDown ? -height : height), 4);
  Put(b, 26, 1, 2);
  Put(b, 28, s.bitCount, 2);
  Put(b, 30, s.compression, 4);
  Put(b, 46, static_cast<std::uint32_t>(s.palette.size()), 4);
  for (std::size_t i = 0; i < s.masks.size(); ++i) Put(b, 54 + 4 * i, s.masks[i], 4);
  for (std::size_t i = 0; i < s.palette.size(); ++i)
    Put(b, 14 + s.infoSize + maskBytes + 4 * i, s.palette[i], 4);
  const std::size_t rowBytes = (width * s.bitCount + 31) / 32 * 4;
  for (const auto& row : rows) {
    std::vector<BYTE> padded = row;
    padded.resize(rowBytes, 0);
    b.insert(b.end(), padded.begin(), padded.end());
  }
  Put(b, 2, static_cast<std::uint32_t>(b.size()), 4);
  return b;
}

std::string WriteFile(const std::string& name, const std::vector<BYTE>& bytes) {
  const std::string path = ::testing::TempDir() + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

// Level 0 word at (x, y), y counted from the image's top row.
std::uint32_t Texel(IDirect3DTexture9* texture, int x, int y, D3DFORMAT format) {
  D3DLOCKED_RECT locked{};
  texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
  const BYTE* row = static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch;
  std::uint32_t word = format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8
                           ? reinterpret_cast<const std::uint32_t*>(row)[x]
                           : reinterpret_cast<const std::uint16_t*>(row)[x];
  texture->UnlockRect(0);
  return word;
}

}  // namespace

TEST(BitmapTextures, KeepTheFileFormatAndRowOrder) {
  RenderTarget target(8, 8);
  // Top-left pixel first, then bottom-left, for rows written bottom-up: the file's second
  // row is the image's top row.
  struct Case {
    const char* name;
    BitmapLayout layout;
    std::vector<std::vector<BYTE>> rows;
    D3DFORMAT format;
    std::uint32_t topLeft;
    std::uint32_t bottomLeft;
  };
  BitmapLayout pal1{1, 0, 40, {}, {0x000000, 0xFFFFFF}};
  BitmapLayout pal4{4, 0, 40, {}, {0x102030, 0x405060, 0x708090}};
  BitmapLayout pal8{8, 0, 40, {}, {0x112233, 0x445566}};
  BitmapLayout rgb555{16};
  BitmapLayout rgb565{16, 3, 40, {0xF800, 0x07E0, 0x001F}};
  BitmapLayout rgb24{24};
  BitmapLayout rgb24TopDown{24, 0, 40, {}, {}, true};
  BitmapLayout rgb32{32};
  BitmapLayout argb32{32, 3, 108, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}};
  const Case cases[] = {
      {"1bit.bmp", pal1, {{0x00}, {0x80}}, D3DFMT_X8R8G8B8, 0xFFFFFF, 0x000000},
      {"4bit.bmp", pal4, {{0x20}, {0x10}}, D3DFMT_X8R8G8B8, 0x405060, 0x708090},
      {"8bit.bmp", pal8, {{0}, {1}}, D3DFMT_X8R8G8B8, 0x445566, 0x112233},
      {"555.bmp", rgb555, {{0x00, 0x7C}, {0x1F, 0x00}}, D3DFMT_X1R5G5B5, 0x001F, 0x7C00},
      {"565.bmp", rgb565, {{0x00, 0xF8}, {0xE0, 0x07}}, D3DFMT_R5G6B5, 0x07E0, 0xF800},
      {"24bit.bmp", rgb24, {{1, 2, 3}, {4, 5, 6}}, D3DFMT_X8R8G8B8, 0x060504, 0x030201},
      {"24top.bmp", rgb24TopDown, {{1, 2, 3}, {4, 5, 6}}, D3DFMT_X8R8G8B8, 0x030201, 0x060504},
      {"32bit.bmp", rgb32, {{1, 2, 3, 0}, {4, 5, 6, 0}}, D3DFMT_X8R8G8B8, 0x060504, 0x030201},
      {"argb.bmp",
       argb32,
       {{1, 2, 3, 0x80}, {4, 5, 6, 0x40}},
       D3DFMT_A8R8G8B8,
       0x40060504,
       0x80030201},
  };
  for (const Case& c : cases) {
    const std::string path = WriteFile(c.name, MakeBitmap(c.layout, c.rows));
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(target.device(), path.c_str(), &texture), D3D_OK)
        << c.name;
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, c.format) << c.name;
    EXPECT_EQ(desc.Width, 3u) << c.name;
    EXPECT_EQ(desc.Height, 2u) << c.name;
    EXPECT_EQ(Texel(texture, 0, 0, desc.Format), c.topLeft) << c.name;
    EXPECT_EQ(Texel(texture, 0, 1, desc.Format), c.bottomLeft) << c.name;
    texture->Release();
    std::remove(path.c_str());
  }
}

TEST(BitmapTextures, BrokenFilesFailWithANegativeCode) {
  RenderTarget target(8, 8);
  const std::vector<BYTE> good = MakeBitmap(BitmapLayout{}, {{1, 2, 3}, {4, 5, 6}});
  auto patched = [&](std::size_t at, std::uint32_t value, int bytes) {
    std::vector<BYTE> b = good;
    Put(b, at, value, bytes);
    return b;
  };
  auto cut = [&](std::size_t size) { return std::vector<BYTE>(good.begin(), good.begin() + size); };
  struct Case {
    const char* why;
    std::vector<BYTE> bytes;
  };
  const Case cases[] = {
      {"empty file", {}},
      {"truncated file header", cut(10)},
      {"truncated info header", cut(30)},
      {"truncated pixels", cut(good.size() - 1)},
      {"wrong magic", patched(0, 'P' | ('K' << 8), 2)},
      {"zero width", patched(18, 0, 4)},
      {"zero height", patched(22, 0, 4)},
      {"negative width", patched(18, 0xFFFFFFFD, 4)},
      {"smallest height", patched(22, 0x80000000, 4)},
      {"huge dimensions", patched(18, 100000, 4)},
      {"huge width within the side limit", patched(18, 16000, 4)},
      {"run-length compression", patched(30, 1, 4)},
      {"jpeg payload", patched(30, 4, 4)},
      {"bit fields on 24 bits", patched(30, 3, 4)},
      {"unknown bit depth", patched(28, 7, 2)},
      {"two planes", patched(26, 2, 2)},
      {"unknown info header size", patched(14, 64, 4)},
      {"pixel data beyond the end", patched(10, 0xFFFFFF00, 4)},
      {"palette larger than the depth allows",
       MakeBitmap(BitmapLayout{8, 0, 40, {}, std::vector<std::uint32_t>(257, 0)}, {{0}, {0}})},
      {"palette cut short",
       [&] {
         std::vector<BYTE> b = MakeBitmap(BitmapLayout{8, 0, 40, {}, {0, 0}}, {{0}, {0}});
         Put(b, 46, 200, 4);
         return b;
       }()},
      {"16-bit masks of no known layout",
       MakeBitmap(BitmapLayout{16, 3, 40, {0x000F, 0x00F0, 0x0F00}}, {{0, 0}, {0, 0}})},
  };
  for (const Case& c : cases) {
    const std::string path = WriteFile("broken.bmp", c.bytes);
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(&target);
    const HRESULT result = D3DXCreateTextureFromFileA(target.device(), path.c_str(), &texture);
    EXPECT_LT(result, 0) << c.why;
    EXPECT_EQ(texture, nullptr) << c.why;
    std::remove(path.c_str());
  }
  IDirect3DTexture9* texture = nullptr;
  EXPECT_EQ(D3DXCreateTextureFromFileA(target.device(), "no-such-file.bmp", &texture),
            D3DERR_NOTFOUND);
}
