// Texture loading from bitmap files: the formats callers see, and what the loader does with
// files it must refuse. The reader's hostile files are in bitmap_file_read_test.cpp.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bitmap_bytes.h"
#include "platform/d3dx9.h"
#include "render_target.h"

namespace vantra::platform {

namespace {

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
    const std::string path = WriteTestFile(c.name, MakeBitmap(c.layout, c.rows));
    ComRef<IDirect3DTexture9> texture;
    ASSERT_EQ(D3DXCreateTextureFromFileA(target.device(), path.c_str(), texture.out()), D3D_OK)
        << c.name;
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, c.format) << c.name;
    EXPECT_EQ(desc.Width, 3u) << c.name;
    EXPECT_EQ(desc.Height, 2u) << c.name;
    EXPECT_EQ(Texel(texture.get(), 0, 0, desc.Format), c.topLeft) << c.name;
    EXPECT_EQ(Texel(texture.get(), 0, 1, desc.Format), c.bottomLeft) << c.name;
    std::remove(path.c_str());
  }
}

TEST(BitmapTextures, BrokenFilesLeaveNoTexture) {
  RenderTarget target(8, 8);
  std::vector<BYTE> cut = MakeBitmap(BitmapLayout{}, {{1, 2, 3}, {4, 5, 6}});
  cut.pop_back();
  const std::string path = WriteTestFile("broken.bmp", cut);
  // Loads into a pointer that holds garbage, which a failure must overwrite with null; a
  // texture made in spite of the failure goes with the holder returned.
  HRESULT result = D3D_OK;
  auto load = [&](const char* file) {
    IDirect3DTexture9* const garbage = reinterpret_cast<IDirect3DTexture9*>(&target);
    IDirect3DTexture9* texture = garbage;
    result = D3DXCreateTextureFromFileA(target.device(), file, &texture);
    EXPECT_NE(texture, garbage) << file << ": the out-parameter was left as it was";
    return ComRef<IDirect3DTexture9>::Adopt(texture != garbage ? texture : nullptr);
  };
  EXPECT_FALSE(load(path.c_str()));
  EXPECT_EQ(result, D3DXERR_INVALIDDATA);
  std::remove(path.c_str());
  EXPECT_FALSE(load("no-such-file.bmp"));
  EXPECT_EQ(result, D3DERR_NOTFOUND);
}

TEST(BitmapTextures, RefuseFilesLargerThanTheDeviceTextures) {
  RenderTarget target(8, 8);
  D3DCAPS9 caps{};
  target.device()->GetDeviceCaps(&caps);
  ASSERT_GE(caps.MaxTextureWidth, 64u);
  ASSERT_LE(caps.MaxTextureWidth, 16384u);
  // Only the headers matter: the side is refused before any pixel is read.
  std::vector<BYTE> header = MakeBitmap(BitmapLayout{}, {});
  PutBytes(header, 18, caps.MaxTextureWidth + 1, 4);
  const std::string path = WriteTestFile("wide.bmp", header);
  ComRef<IDirect3DTexture9> texture;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(D3DXCreateTextureFromFileA(target.device(), path.c_str(), texture.out()),
            D3DXERR_INVALIDDATA);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find(
                "exceeds the " + std::to_string(caps.MaxTextureWidth) + " limit"),
            std::string::npos);
  std::remove(path.c_str());
}

}  // namespace vantra::platform
