#include "platform/bitmap_file.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/d3dx9.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>

namespace {

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::uint32_t BI_ALPHABITFIELDS = 6;
constexpr std::uint64_t FileHeaderSize = 14;
// Larger than any bitmap of MaxSide x MaxSide at 32 bits plus headers.
constexpr long MaxFileSize = 1100L * 1024 * 1024;

std::uint32_t Read16(const std::vector<BYTE>& data, std::size_t at) {
  return data[at] | (data[at + 1] << 8);
}

std::uint32_t Read32(const std::vector<BYTE>& data, std::size_t at) {
  return data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) |
         (static_cast<std::uint32_t>(data[at + 3]) << 24);
}

void Put16(BYTE* at, std::uint32_t v) {
  at[0] = v & 0xFF;
  at[1] = (v >> 8) & 0xFF;
}

void Put32(BYTE* at, std::uint32_t v) {
  Put16(at, v);
  Put16(at + 2, v >> 16);
}

bool ReadWholeFile(const char* path, std::vector<BYTE>* data) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rb"), &std::fclose);
  if (!file) return false;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file.get());
  if (size < 0 || size > MaxFileSize || std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
  data->resize(static_cast<std::size_t>(size));
  return size == 0 || std::fread(data->data(), 1, data->size(), file.get()) == data->size();
}

// What the headers say, after every field has been checked against the file.
struct Layout {
  std::uint32_t width;
  std::uint32_t height;
  bool topDown;
  std::uint32_t bitCount;
  std::uint32_t dataOffset;
  std::uint64_t rowBytes;
  std::uint32_t masks[4];  // red, green, blue, alpha
};

bool ParseHeaders(const std::vector<BYTE>& data, Layout* layout) {
  const std::uint64_t size = data.size();
  if (size < FileHeaderSize + 12 || data[0] != 'B' || data[1] != 'M') return false;
  const std::uint32_t dataOffset = Read32(data, 10);
  const std::uint32_t infoSize = Read32(data, 14);
  if (infoSize != 12 && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 &&
      infoSize != 124)
    return false;
  if (FileHeaderSize + infoSize > size) return false;

  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint32_t planes = 0;
  std::uint32_t bitCount = 0;
  std::uint32_t compression = BI_RGB;
  std::uint32_t coloursUsed = 0;
  std::uint32_t paletteEntryBytes = 4;
  if (infoSize == 12) {
    width = Read16(data, 18);
    height = Read16(data, 20);
    planes = Read16(data, 22);
    bitCount = Read16(data, 24);
    paletteEntryBytes = 3;
  } else {
    width = static_cast<std::int32_t>(Read32(data, 18));
    height = static_cast<std::int32_t>(Read32(data, 22));
    planes = Read16(data, 26);
    bitCount = Read16(data, 28);
    compression = Read32(data, 30);
    coloursUsed = Read32(data, 46);
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (planes != 1 || width < 1 || height < 1 || width > BitmapFile::MaxSide ||
      height > BitmapFile::MaxSide)
    return false;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    return false;

  std::uint32_t masks[4] = {0, 0, 0, 0};
  if (compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) {
    if (bitCount != 16 && bitCount != 32) return false;
    const std::uint32_t maskCount = compression == BI_ALPHABITFIELDS || infoSize >= 56 ? 4 : 3;
    // A plain info header keeps its masks right after it; later headers contain them.
    const std::uint64_t masksAt = FileHeaderSize + 40;
    if (masksAt + 4 * maskCount > size) return false;
    for (std::uint32_t i = 0; i < maskCount; ++i) masks[i] = Read32(data, masksAt + 4 * i);
  } else if (compression == BI_RGB) {
    if (bitCount == 16) {
      masks[0] = 0x7C00;
      masks[1] = 0x03E0;
      masks[2] = 0x001F;
    } else if (bitCount == 32 && infoSize >= 56) {
      masks[3] = Read32(data, FileHeaderSize + 52);
    }
  } else {
    return false;  // run-length, JPEG and PNG payloads are not supported
  }

  if (bitCount <= 8) {
    if (coloursUsed > (1u << bitCount)) return false;
    const std::uint64_t colours = coloursUsed != 0 ? coloursUsed : (1u << bitCount);
    if (FileHeaderSize + infoSize + colours * paletteEntryBytes > size) return false;
  }

  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
  if (dataOffset < FileHeaderSize + infoSize ||
      dataOffset + rowBytes * static_cast<std::uint64_t>(height) > size)
    return false;

  layout->width = static_cast<std::uint32_t>(width);
  layout->height = static_cast<std::uint32_t>(height);
  layout->topDown = topDown;
  layout->bitCount = bitCount;
  layout->dataOffset = dataOffset;
  layout->rowBytes = rowBytes;
  std::memcpy(layout->masks, masks, sizeof masks);
  return true;
}

// 16-bit pixels are copied as they are so that the image keeps its 16-bit format.
bool Decode16(const std::vector<BYTE>& data, const Layout& layout, BitmapFile::Image* image) {
  const std::uint32_t* m = layout.masks;
  if (m[0] == 0xF800 && m[1] == 0x07E0 && m[2] == 0x001F && m[3] == 0)
    image->format = D3DFMT_R5G6B5;
  else if (m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F && m[3] == 0)
    image->format = D3DFMT_X1R5G5B5;
  else if (m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F && m[3] == 0x8000)
    image->format = D3DFMT_A1R5G5B5;
  else
    return false;
  image->pitch = static_cast<INT>(layout.width * 2);
  image->pixels.resize(static_cast<std::size_t>(image->pitch) * layout.height);
  for (std::uint32_t row = 0; row < layout.height; ++row) {
    const std::uint32_t fileRow = layout.topDown ? row : layout.height - 1 - row;
    std::memcpy(&image->pixels[static_cast<std::size_t>(row) * image->pitch],
                &data[layout.dataOffset + fileRow * layout.rowBytes], image->pitch);
  }
  return true;
}

bool DecodeWithStb(const std::vector<BYTE>& data, const Layout& layout, BitmapFile::Image* image) {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
      stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &width, &height, &channels,
                            4),
      &stbi_image_free);
  if (!rgba || static_cast<std::uint32_t>(width) != layout.width ||
      static_cast<std::uint32_t>(height) != layout.height)
    return false;
  const bool alpha = layout.bitCount == 32 && layout.masks[3] != 0;
  image->format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  image->pitch = static_cast<INT>(layout.width * 4);
  const std::size_t count = static_cast<std::size_t>(layout.width) * layout.height;
  image->pixels.resize(count * 4);
  for (std::size_t i = 0; i < count; ++i) {
    const stbi_uc* p = rgba.get() + 4 * i;
    const std::uint32_t a = alpha ? p[3] : 0;
    Put32(&image->pixels[4 * i], (a << 24) | (p[0] << 16) | (p[1] << 8) | p[2]);
  }
  return true;
}

}  // namespace

HRESULT BitmapFile::Read(const char* path, Image* image) {
  if (path == nullptr || image == nullptr) return D3DERR_INVALIDCALL;
  std::vector<BYTE> data;
  if (!ReadWholeFile(path, &data)) return D3DERR_NOTFOUND;
  Layout layout{};
  if (!ParseHeaders(data, &layout)) return D3DXERR_INVALIDDATA;
  Image decoded;
  decoded.width = layout.width;
  decoded.height = layout.height;
  const bool ok = layout.bitCount == 16 ? Decode16(data, layout, &decoded)
                                        : DecodeWithStb(data, layout, &decoded);
  if (!ok) return D3DXERR_INVALIDDATA;
  *image = std::move(decoded);
  return D3D_OK;
}

HRESULT BitmapFile::Write(const char* path, UINT width, UINT height, const BYTE* pixels,
                          INT pitch) {
  if (path == nullptr || pixels == nullptr || width == 0 || height == 0 || width > MaxSide ||
      height > MaxSide || pitch < static_cast<INT>(width * 4))
    return D3DERR_INVALIDCALL;
  const std::uint32_t rowBytes = (width * 3 + 3) & ~3u;
  const std::uint32_t headersSize = 14 + 40;
  std::vector<BYTE> file(headersSize + static_cast<std::size_t>(rowBytes) * height, 0);
  BYTE* h = file.data();
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, static_cast<std::uint32_t>(file.size()));
  Put32(h + 10, headersSize);
  Put32(h + 14, 40);
  Put32(h + 18, width);
  Put32(h + 22, height);
  Put16(h + 26, 1);
  Put16(h + 28, 24);
  Put32(h + 34, rowBytes * height);
  Put32(h + 38, 2835);  // 72 dots per inch
  Put32(h + 42, 2835);
  // Bitmap rows run bottom-up.
  for (UINT row = 0; row < height; ++row) {
    const BYTE* source = pixels + static_cast<std::size_t>(height - 1 - row) * pitch;
    BYTE* target = &file[headersSize + static_cast<std::size_t>(row) * rowBytes];
    for (UINT x = 0; x < width; ++x) std::memcpy(target + 3 * x, source + 4 * x, 3);
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path, "wb"), &std::fclose);
  if (!out || std::fwrite(file.data(), 1, file.size(), out.get()) != file.size()) return E_FAIL;
  return std::fflush(out.get()) == 0 ? D3D_OK : E_FAIL;
}
