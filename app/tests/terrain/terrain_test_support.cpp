#include "terrain_test_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "terrain/buffer_lock.h"
#include "terrain/quad_leaf.h"
#include "terrain/terrain.h"
#include "terrain/terrain_patch.h"
#include "terrain/terrain_quadtree.h"
#include "terrain/terrain_vertex.h"

namespace vantra::terrain {

namespace {

void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

void WriteBitmap(const std::string& path, int width, int height, int bitsPerPixel,
                 const std::function<std::uint32_t(int row, int column)>& pixel) {
  // 32-bit files carry a version 4 header whose masks include alpha, so that the reader
  // keeps the fourth byte.
  const bool withAlpha = bitsPerPixel == 32;
  const int infoSize = withAlpha ? 108 : 40;
  const int rowBytes = (width * bitsPerPixel / 8 + 3) & ~3;
  std::vector<std::uint8_t> out;
  Put(out, 0x4D42, 2);
  Put(out, 14 + infoSize + rowBytes * height, 4);
  Put(out, 0, 4);
  Put(out, 14 + infoSize, 4);
  Put(out, infoSize, 4);
  Put(out, width, 4);
  Put(out, height, 4);
  Put(out, 1, 2);
  Put(out, bitsPerPixel, 2);
  Put(out, withAlpha ? 3 : 0, 4);  // BI_BITFIELDS or BI_RGB
  for (int i = 0; i < 5; ++i) Put(out, 0, 4);
  if (withAlpha) {
    for (const std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
      Put(out, mask, 4);
    while (out.size() < static_cast<std::size_t>(14 + infoSize)) out.push_back(0);
  }
  for (int row = height - 1; row >= 0; --row) {
    const std::size_t start = out.size();
    for (int column = 0; column < width; ++column) {
      const std::uint32_t rgb = pixel(row, column);
      if (bitsPerPixel >= 24) {
        Put(out, rgb, bitsPerPixel / 8);
      } else {
        const std::uint32_t r = (rgb >> 19) & 31, g = (rgb >> 11) & 31, b = (rgb >> 3) & 31;
        Put(out, (r << 10) | (g << 5) | b, 2);
      }
    }
    while (out.size() - start < static_cast<std::size_t>(rowBytes)) out.push_back(0);
  }
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

void WriteGreyBitmap(const std::string& path, int width, int height,
                     const std::function<int(int row, int column)>& grey) {
  WriteBitmap(path, width, height, 24, [&](int row, int column) {
    return 0x010101u * static_cast<std::uint32_t>(grey(row, column));
  });
}

void WriteTerrainMaps(int heightSize, const std::function<int(int row, int column)>& grey) {
  WriteGreyBitmap("heightMap.bmp", heightSize, heightSize, grey);
  WriteBitmap("textureMap.bmp", 16, 16, 24, [](int, int) { return 0x4080C0u; });
  WriteGreyBitmap("detailMap.bmp", 8, 8, [](int, int) { return 128; });
}

ScratchDirectory::ScratchDirectory() {
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) throw std::runtime_error("no working directory");
  _previous = cwd;
  char pattern[] = "/tmp/vantra-terrain-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot create a directory");
  _path = pattern;
  if (chdir(_path.c_str()) != 0) throw std::runtime_error("cannot enter " + _path);
}

ScratchDirectory::~ScratchDirectory() {
  if (chdir(_previous.c_str()) != 0) std::perror("chdir");
  std::error_code ignored;
  std::filesystem::remove_all(_path, ignored);
}

std::vector<std::uint16_t> ReadIndices(IDirect3DIndexBuffer9* buffer, int start, int count) {
  BufferLock lock(buffer, static_cast<UINT>((start + count) * 2), 0);
  const auto* indices = static_cast<const std::uint16_t*>(lock.data());
  return std::vector<std::uint16_t>(indices + start, indices + start + count);
}

std::vector<TerrainVertex> ReadVertices(const TerrainPatch& patch) {
  BufferLock lock(patch.vertexBuffer(), patch.bufferBytes(), D3DLOCK_READONLY);
  const auto* vertices = static_cast<const TerrainVertex*>(lock.data());
  return std::vector<TerrainVertex>(vertices, vertices + patch.vertexCount());
}

TerrainWorld::TerrainWorld(int width, int depth, int heightSize,
                           const std::function<int(int row, int column)>& grey, int targetSize)
    : device(targetSize, targetSize) {
  WriteTerrainMaps(heightSize, grey);
  terrain = std::make_unique<Terrain>(width, depth, 800.0f, 24240.0f, 800.0f);
  terrain->reset(nullptr, device.device());
}

TerrainWorld::~TerrainWorld() = default;

TerrainQuadtree& TerrainWorld::tree() const { return *terrain->quadtree(); }

QuadLeaf* TerrainWorld::leafAt(int x0, int z0) const {
  for (int i = 0; i < tree().leafCount(); ++i) {
    QuadLeaf* leaf = tree().leaf(i);
    if (leaf->x0() == x0 && leaf->z0() == z0) return leaf;
  }
  return nullptr;
}

}  // namespace vantra::terrain
