// Shared pieces of the terrain tests: a real device on a small headless window, bitmap files
// written on the fly, and a scratch working directory for the terrain's relative file names.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "render_target.h"

namespace vantra::terrain {

class QuadLeaf;
class Terrain;
class TerrainPatch;
class TerrainQuadtree;
struct TerrainVertex;

// Writes an uncompressed bottom-up bitmap of 32 (A8R8G8B8), 24 or 16 (X1R5G5B5) bits per
// pixel; pixel gives 0xAARRGGBB (alpha used by 32 bits only) for (row, column) counted from
// the top.
void WriteBitmap(const std::string& path, int width, int height, int bitsPerPixel,
                 const std::function<std::uint32_t(int row, int column)>& pixel);

// A grey bitmap: grey gives the level 0..255 for (row, column).
void WriteGreyBitmap(const std::string& path, int width, int height,
                     const std::function<int(int row, int column)>& grey);

// Creates a fresh directory and makes it the working directory until destroyed.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();

  const std::string& path() const { return _path; }

 private:
  std::string _path;
  std::string _previous;
};

// The three terrain bitmaps in the working directory: the given height map, a plain
// colour map and a mid-grey detail map.
void WriteTerrainMaps(int heightSize, const std::function<int(int row, int column)>& grey);

// Reads the 16-bit indices [start, start + count) of an index buffer.
std::vector<std::uint16_t> ReadIndices(IDirect3DIndexBuffer9* buffer, int start, int count);

// The vertices of a filled patch, read back from its buffer.
std::vector<TerrainVertex> ReadVertices(const TerrainPatch& patch);

// A terrain built on its own device in a scratch directory from a generated height map
// (heightSize square, grey levels from grey), with 800-unit spacing and 24240-unit heights,
// on a square render target of targetSize pixels.
struct TerrainWorld {
  TerrainWorld(int width, int depth, int heightSize,
               const std::function<int(int row, int column)>& grey, int targetSize = 64);
  ~TerrainWorld();

  TerrainQuadtree& tree() const;
  // The leaf whose extents start at grid column x0 and row z0, or null.
  QuadLeaf* leafAt(int x0, int z0) const;

  ScratchDirectory directory;
  platform::RenderTarget device;
  std::unique_ptr<Terrain> terrain;
};

}  // namespace vantra::terrain
