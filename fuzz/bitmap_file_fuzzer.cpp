// Feeds arbitrary bytes to the bitmap reader through a file, as the texture loader reads
// them, and touches every decoded pixel so that a value the file never held shows up.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "platform/bitmap_file.h"

using vantra::platform::BitmapFile;

namespace {

// One in-memory file for the whole run, rewritten for every input. The path is formatted by
// the C library, whose writes MemorySanitizer sees, rather than by the uninstrumented
// standard C++ library.
const char* InputPath() {
  static char path[64];
  if (path[0] == '\0') {
    const int fd = memfd_create("bitmap", 0);
    if (fd < 0) __builtin_trap();
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  }
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* path = InputPath();
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) __builtin_trap();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) __builtin_trap();
  std::fclose(file);

  BitmapFile::Image image;
  if (FAILED(BitmapFile::Read(path, &image))) return 0;
  const std::size_t bytesPerPixel =
      image.format == D3DFMT_A8R8G8B8 || image.format == D3DFMT_X8R8G8B8 ? 4 : 2;
  if (image.width == 0 || image.height == 0 ||
      static_cast<std::size_t>(image.pitch) != image.width * bytesPerPixel ||
      image.pixels.size() != static_cast<std::size_t>(image.pitch) * image.height)
    __builtin_trap();
  // Branching on every byte makes MemorySanitizer check each one.
  unsigned zeros = 0;
  for (const BYTE byte : image.pixels)
    if (byte == 0) ++zeros;
  if (zeros > image.pixels.size()) __builtin_trap();
  return 0;
}
