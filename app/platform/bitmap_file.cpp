#include "platform/bitmap_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/atomic_file.h"
#include "platform/d3dx9.h"
#include "platform/regular_file.h"

namespace vantra::platform {

namespace {

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::uint32_t BI_ALPHABITFIELDS = 6;
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kLargestInfoHeader = 124;
// A plain 40-byte info header keeps its colour masks right after it; later headers hold them
// at the same place inside.
constexpr std::uint32_t kMasksAt = kFileHeaderSize + 40;

std::uint32_t Read16(const BYTE* at) { return at[0] | (at[1] << 8); }

std::uint32_t Read32(const BYTE* at) {
  return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

void Put16(BYTE* at, std::uint32_t v) {
  at[0] = v & 0xFF;
  at[1] = (v >> 8) & 0xFF;
}

void Put32(BYTE* at, std::uint32_t v) {
  Put16(at, v);
  Put16(at + 2, v >> 16);
}

std::string Reason(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Reason(const char* format, ...) {
  char text[256];
  std::va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

// The one place that words a refusal: a single line naming the file as the caller gave it.
HRESULT Reject(const char* path, HRESULT code, const std::string& reason) {
  std::fprintf(stderr, "%s: %s\n", path, reason.c_str());
  return code;
}

// Sequential reads of a regular file whose size was taken when it was opened, so that a short
// file can say where it ends, and a file that shrinks while it is read can say so.
class Input {
 public:
  Input(std::FILE* file, std::uint64_t size) : _file(file), _size(size) {}

  bool read(BYTE* to, std::size_t count) {
    const std::size_t got = std::fread(to, 1, count, _file);
    _position += got;
    return got == count;
  }

  // Moves forward to offset without reading what lies between.
  bool skipTo(std::uint64_t offset) {
    if (offset > _size || fseeko(_file, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    _position = offset;
    return true;
  }

  // Why a file found short of `needed` bytes is refused.
  std::string truncated(std::uint64_t needed) const {
    if (_position < _size && needed <= _size)
      return Reason("shrank while being read (ends at byte %llu, %llu when opened)",
                    static_cast<unsigned long long>(_position),
                    static_cast<unsigned long long>(_size));
    return Reason("truncated (file ends at byte %llu of %llu)",
                  static_cast<unsigned long long>(_size), static_cast<unsigned long long>(needed));
  }

  std::uint64_t position() const { return _position; }
  bool shorterThan(std::uint64_t size) const { return _size < size; }

 private:
  std::FILE* _file;
  const std::uint64_t _size;
  std::uint64_t _position = 0;
};

// One colour channel of a bit-field pixel, widened to 8 bits by repeating its top bits, so
// that a 5-bit channel's largest value becomes 255.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  static Channel FromMask(std::uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (mask != 0) {
      c.shift = 31 - __builtin_clz(mask) - 7;
      c.bits = __builtin_popcount(mask);
    }
    return c;
  }

  std::uint32_t extract(std::uint32_t pixel) const {
    static const std::uint32_t kMultiplier[9] = {0, 0xFF, 0x55, 0x49, 0x11, 0x21, 0x41, 0x81, 0x01};
    static const int kFractionShift[9] = {0, 0, 0, 1, 0, 2, 4, 6, 0};
    std::uint32_t v = pixel & mask;
    v = shift < 0 ? v << -shift : v >> shift;
    v >>= 8 - bits;
    return (v * kMultiplier[bits]) >> kFractionShift[bits];
  }
};

// What the headers say, after every field has been checked.
struct Layout {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool topDown = false;
  std::uint32_t bitCount = 0;
  std::uint32_t compression = BI_RGB;
  std::uint32_t dataOffset = 0;
  std::uint64_t rowBytes = 0;
  std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  // Palettised files: the entries the file holds, as 0x00RRGGBB.
  std::uint32_t colours = 0;
  std::uint32_t palette[256] = {};
  D3DFORMAT format = D3DFMT_UNKNOWN;
  Channel channels[4];
};

std::string CheckMasks(Layout* layout) {
  const std::uint32_t* m = layout->masks;
  if (layout->bitCount == 16) {
    if (m[0] == 0xF800 && m[1] == 0x07E0 && m[2] == 0x001F && m[3] == 0)
      layout->format = D3DFMT_R5G6B5;
    else if (m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F && m[3] == 0)
      layout->format = D3DFMT_X1R5G5B5;
    else if (m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F && m[3] == 0x8000)
      layout->format = D3DFMT_A1R5G5B5;
    else
      return Reason("16-bit masks %08X %08X %08X %08X are not a supported layout", m[0], m[1], m[2],
                    m[3]);
    return {};
  }
  layout->format = layout->bitCount == 32 && m[3] != 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  if (layout->bitCount != 32) return {};
  for (int i = 0; i < 4; ++i) {
    layout->channels[i] = Channel::FromMask(m[i]);
    if ((i < 3 && m[i] == 0) || layout->channels[i].bits > 8)
      return Reason("32-bit masks %08X %08X %08X %08X need 1 to 8 bits per colour", m[0], m[1],
                    m[2], m[3]);
  }
  return {};
}

// Reads and checks everything up to the pixel data; allocates nothing.
std::string ReadHeaders(Input& in, UINT maxSide, Layout* layout) {
  BYTE h[kFileHeaderSize + kLargestInfoHeader + 16] = {};
  if (!in.read(h, kFileHeaderSize + 4)) return in.truncated(kFileHeaderSize + 4);
  if (h[0] != 'B' || h[1] != 'M') return "not a bitmap (no \"BM\" signature)";
  const std::uint32_t infoSize = Read32(h + 14);
  if (infoSize != 12 && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 &&
      infoSize != 124)
    return Reason("unknown info header size %u", infoSize);
  if (!in.read(h + kFileHeaderSize + 4, infoSize - 4))
    return in.truncated(kFileHeaderSize + infoSize);

  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint32_t planes = 0;
  std::uint32_t coloursUsed = 0;
  std::uint32_t paletteEntryBytes = 4;
  if (infoSize == 12) {
    width = Read16(h + 18);
    height = Read16(h + 20);
    planes = Read16(h + 22);
    layout->bitCount = Read16(h + 24);
    paletteEntryBytes = 3;
  } else {
    width = static_cast<std::int32_t>(Read32(h + 18));
    height = static_cast<std::int32_t>(Read32(h + 22));
    planes = Read16(h + 26);
    layout->bitCount = Read16(h + 28);
    layout->compression = Read32(h + 30);
    coloursUsed = Read32(h + 46);
  }
  const std::uint32_t bitCount = layout->bitCount;
  layout->topDown = height < 0;
  if (layout->topDown) height = -height;
  if (planes != 1) return Reason("%u colour planes where 1 is expected", planes);
  if (width < 1 || height < 1)
    return Reason("no pixels (%lld x %lld)", static_cast<long long>(width),
                  static_cast<long long>(layout->topDown ? -height : height));
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    return Reason("unsupported depth of %u bits per pixel", bitCount);
  const std::uint32_t sideLimit = std::min(maxSide, BitmapFile::kMaxSide);
  if (width > sideLimit || height > sideLimit)
    return Reason("%lld x %lld pixels exceeds the %u limit", static_cast<long long>(width),
                  static_cast<long long>(height), sideLimit);
  const std::uint64_t decodedBytes = static_cast<std::uint64_t>(width) *
                                     static_cast<std::uint64_t>(height) * (bitCount == 16 ? 2 : 4);
  if (decodedBytes > BitmapFile::kMaxPixelBytes)
    return Reason("%lld x %lld pixels need %llu MiB, more than the %llu MiB limit",
                  static_cast<long long>(width), static_cast<long long>(height),
                  static_cast<unsigned long long>((decodedBytes + (1 << 20) - 1) >> 20),
                  static_cast<unsigned long long>(BitmapFile::kMaxPixelBytes >> 20));
  layout->width = static_cast<std::uint32_t>(width);
  layout->height = static_cast<std::uint32_t>(height);

  std::uint32_t* masks = layout->masks;
  const std::uint32_t compression = layout->compression;
  if (compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) {
    if (bitCount != 16 && bitCount != 32)
      return Reason("bit-field masks on a %u-bit bitmap", bitCount);
    // A 52-byte header has room for three masks only.
    const std::uint32_t maskCount =
        infoSize == 40 ? (compression == BI_ALPHABITFIELDS ? 4 : 3) : (infoSize >= 56 ? 4 : 3);
    if (infoSize == 40 && !in.read(h + kMasksAt, 4 * maskCount))
      return in.truncated(kMasksAt + 4 * maskCount);
    for (std::uint32_t i = 0; i < maskCount; ++i) masks[i] = Read32(h + kMasksAt + 4 * i);
  } else if (compression == BI_RGB) {
    if (bitCount == 16) {
      masks[0] = 0x7C00;
      masks[1] = 0x03E0;
      masks[2] = 0x001F;
    } else if (bitCount == 32) {
      masks[0] = 0x00FF0000;
      masks[1] = 0x0000FF00;
      masks[2] = 0x000000FF;
      // Later headers may declare an alpha channel in the fourth byte.
      if (infoSize >= 56 && Read32(h + kMasksAt + 12) != 0) masks[3] = 0xFF000000;
    }
  } else {
    return Reason("unsupported compression %u (run-length, JPEG and PNG are not read)",
                  compression);
  }
  std::string why = CheckMasks(layout);
  if (!why.empty()) return why;

  if (bitCount <= 8) {
    const std::uint32_t most = 1u << bitCount;
    if (coloursUsed > most)
      return Reason("palette of %u entries, more than %u-bit pixels can use", coloursUsed,
                    bitCount);
    layout->colours = coloursUsed != 0 ? coloursUsed : most;
    BYTE entries[256 * 4];
    const std::uint32_t paletteBytes = layout->colours * paletteEntryBytes;
    if (!in.read(entries, paletteBytes))
      return in.truncated(kFileHeaderSize + infoSize + paletteBytes);
    for (std::uint32_t i = 0; i < layout->colours; ++i) {
      const BYTE* e = entries + i * paletteEntryBytes;
      layout->palette[i] = (e[2] << 16) | (e[1] << 8) | e[0];
    }
  }

  layout->dataOffset = Read32(h + 10);
  if (layout->dataOffset < in.position())
    return Reason("pixel data at byte %u lies inside the headers, which end at byte %llu",
                  layout->dataOffset, static_cast<unsigned long long>(in.position()));
  layout->rowBytes = (static_cast<std::uint64_t>(layout->width) * bitCount + 31) / 32 * 4;
  const std::uint64_t fileSize = layout->dataOffset + layout->rowBytes * layout->height;
  if (in.shorterThan(fileSize)) return in.truncated(fileSize);
  return {};
}

// Decodes one file row into one image row.
std::string DecodeRow(const Layout& layout, const BYTE* row, BYTE* out) {
  const std::uint32_t width = layout.width;
  switch (layout.bitCount) {
    case 1:
    case 4:
    case 8: {
      const std::uint32_t bits = layout.bitCount;
      const std::uint32_t perByte = 8 / bits;
      const std::uint32_t indexMask = (1u << bits) - 1;
      for (std::uint32_t x = 0; x < width; ++x) {
        const std::uint32_t shift = 8 - bits * (x % perByte + 1);
        const std::uint32_t index = (row[x / perByte] >> shift) & indexMask;
        if (index >= layout.colours)
          return Reason("palette index %u beyond the %u entries the file holds", index,
                        layout.colours);
        Put32(out + 4 * x, layout.palette[index]);
      }
      break;
    }
    case 16:
      std::memcpy(out, row, 2 * static_cast<std::size_t>(width));
      break;
    case 24:
      for (std::uint32_t x = 0; x < width; ++x) {
        const BYTE* p = row + 3 * x;
        Put32(out + 4 * x, (p[2] << 16) | (p[1] << 8) | p[0]);
      }
      break;
    case 32: {
      const Channel* c = layout.channels;
      const bool alpha = layout.format == D3DFMT_A8R8G8B8;
      for (std::uint32_t x = 0; x < width; ++x) {
        const std::uint32_t v = Read32(row + 4 * x);
        const std::uint32_t a = alpha ? c[3].extract(v) : 0;
        Put32(out + 4 * x,
              (a << 24) | (c[0].extract(v) << 16) | (c[1].extract(v) << 8) | c[2].extract(v));
      }
      break;
    }
  }
  return {};
}

// Reads the pixel rows one at a time, so that only the decoded image is held whole.
std::string ReadPixels(Input& in, const Layout& layout, BitmapFile::Image* image) {
  const std::uint64_t fileSize = layout.dataOffset + layout.rowBytes * layout.height;
  if (!in.skipTo(layout.dataOffset)) return in.truncated(fileSize);
  image->width = layout.width;
  image->height = layout.height;
  image->format = layout.format;
  image->pitch = static_cast<INT>(layout.width * (layout.bitCount == 16 ? 2 : 4));
  image->pixels.resize(static_cast<std::size_t>(image->pitch) * layout.height);
  std::vector<BYTE> row(layout.rowBytes);
  for (std::uint32_t fileRow = 0; fileRow < layout.height; ++fileRow) {
    if (!in.read(row.data(), row.size())) return in.truncated(fileSize);
    const std::uint32_t y = layout.topDown ? fileRow : layout.height - 1 - fileRow;
    std::string why =
        DecodeRow(layout, row.data(), &image->pixels[static_cast<std::size_t>(y) * image->pitch]);
    if (!why.empty()) return why;
  }
  // A plain 32-bit file whose fourth bytes are all zero did not mean to be transparent.
  if (layout.format == D3DFMT_A8R8G8B8 && layout.compression == BI_RGB) {
    bool anyAlpha = false;
    for (std::size_t i = 3; i < image->pixels.size() && !anyAlpha; i += 4)
      anyAlpha = image->pixels[i] != 0;
    if (!anyAlpha)
      for (std::size_t i = 3; i < image->pixels.size(); i += 4) image->pixels[i] = 0xFF;
  }
  return {};
}

}  // namespace

HRESULT BitmapFile::Read(const char* path, Image* image, UINT maxSide) {
  if (path == nullptr || image == nullptr) return D3DERR_INVALIDCALL;
  std::string refusal;
  const int fd = OpenRegularFile(path, &refusal);
  if (fd < 0) {
    if (errno == ENOENT) {
      std::error_code error;
      const std::string directory =
          std::filesystem::absolute(path, error).parent_path().lexically_normal().string();
      return Reject(path, D3DERR_NOTFOUND, Reason("not found in %s", directory.c_str()));
    }
    // A directory or a device is no bitmap, whatever its name; a file that cannot be opened
    // is as good as missing.
    if (errno == EISDIR || errno == EINVAL) return Reject(path, D3DXERR_INVALIDDATA, refusal);
    return Reject(path, D3DERR_NOTFOUND, "cannot open (" + refusal + ")");
  }
  struct stat status {};
  fstat(fd, &status);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(fdopen(fd, "rb"), &std::fclose);
  if (!file) {
    close(fd);
    return Reject(path, D3DERR_NOTFOUND, Reason("cannot open (%s)", std::strerror(errno)));
  }
  Input in(file.get(), static_cast<std::uint64_t>(status.st_size));
  Layout layout;
  std::string why = ReadHeaders(in, maxSide, &layout);
  Image decoded;
  if (why.empty()) why = ReadPixels(in, layout, &decoded);
  if (!why.empty()) return Reject(path, D3DXERR_INVALIDDATA, why);
  *image = std::move(decoded);
  return D3D_OK;
}

HRESULT BitmapFile::Write(const char* path, UINT width, UINT height, const BYTE* pixels,
                          INT pitch) {
  if (path == nullptr || pixels == nullptr || width == 0 || height == 0 || width > kMaxSide ||
      height > kMaxSide || pitch < static_cast<INT>(width * 4))
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

  // Written beside the target and renamed over it once complete and on disk, so that a
  // failed write (disk full, file size limit) leaves any previous file as it was.
  AtomicFile out(path);
  if (!out.open() || !out.write(file.data(), file.size()) || !out.commit()) return E_FAIL;
  return D3D_OK;
}

}  // namespace vantra::platform
