// The leaves at the five coarsest levels (16 x 16 cells of a 64-cell leaf down to 1 x 1) and
// their fans, drawn together: one vertex buffer holds every leaf's 17 x 17 grid of coarse
// vertices and its last drawn column and row at full detail, on which its fans toward a
// neighbour at any level stand, and each frame one index list over it draws them all. Far
// leaves are many and small on screen; a draw apiece would cost more than their pixels, and
// on a large grid a leaf of its own needs its full-detail buffer filled first.
// The triangles are the strips' and the fan sets' own, vertex for vertex and in the same
// order, so the pixels are the same.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/com_ref.h"
#include "platform/d3d9.h"
#include "terrain/buffer_lock.h"
#include "terrain/edge_fan_set.h"
#include "terrain/terrain_vertex.h"

namespace vantra::terrain {

class CoarseLeafBatch {
 public:
  static constexpr int kLevels = 5;
  static constexpr int kGridSide = (1 << (kLevels - 1)) + 1;

  // For leafCount leaves of cells x cells, cells a power of two of at least kGridSide - 1. Creates
  // the vertex buffer and holds it open for the leaves' grids; on the device's thread. Throws the
  // device's result code (std::int32_t) on failure.
  CoarseLeafBatch(IDirect3DDevice9* device, int leafCount, int cells);

  CoarseLeafBatch(const CoarseLeafBatch&) = delete;
  CoarseLeafBatch& operator=(const CoarseLeafBatch&) = delete;

  // The finest level drawn here for leaves of cells x cells; the coarsest is
  // firstLevel() + kLevels - 1.
  static int FirstLevel(int cells);
  int firstLevel() const { return _firstLevel; }
  bool holds(int level) const { return level >= _firstLevel; }
  // Vertices each leaf holds here: its grid and its two full-detail edges.
  static int VerticesPerLeaf(int cells) { return kGridSide * kGridSide + 2 * (cells + 1); }
  // Where a leaf's vertices go, as TerrainPatch::copyCoarseGrid lays them out: its grid row
  // by row, every (cells / (kGridSide - 1))-th vertex of its drawn grid, then its last drawn
  // column and its last drawn row; any thread, until finishBuild.
  TerrainVertex* gridOf(int leaf) const;
  // Hands the grids to the device; on the device's thread once all are written.
  void finishBuild() { _lock.reset(); }

  // Adds a leaf's cells at a level this batch holds.
  void addLeaf(int leaf, int level);
  // Adds the fans between a leaf's level, held here, and its neighbour's, any other level,
  // along the leaf's last drawn column or row.
  void addFans(int leaf, int level, int neighbourLevel, EdgeFanSet::Kind edge);
  // Draws what was added, in one draw, or one per level after beforeLevel(level) when it is
  // given, and empties the batch. Returns the draws made. The index list is written only
  // when what was added differs from what the last list holds.
  int draw(const std::function<void(int)>& beforeLevel);

  // The index list drawn last, level after level, and its length in indices.
  IDirect3DIndexBuffer9* indexBuffer() const { return _indexBuffer.get(); }
  UINT indexCount() const;

 private:
  // One leaf's cells or fans: a pattern of local indices moved to the leaf's grid.
  struct Piece {
    const std::vector<std::uint32_t>* pattern;
    std::uint32_t base;
    bool operator==(const Piece& other) const {
      return pattern == other.pattern && base == other.base;
    }
  };
  using Pieces = std::array<std::vector<Piece>, kLevels>;

  void _add(int level, const std::vector<std::uint32_t>& pattern, int leaf);
  // Writes the pieces added this frame into the index buffer, growing it when they do not fit.
  void _writeIndices(UINT total);

  IDirect3DDevice9* _device;
  int _leafCount;
  int _verticesPerLeaf;
  int _firstLevel;
  platform::ComRef<IDirect3DVertexBuffer9> _vertexBuffer;
  std::optional<BufferLock> _lock;
  platform::ComRef<IDirect3DIndexBuffer9> _indexBuffer;
  UINT _indexCapacity = 0;
  // The same for every leaf, so made once: a leaf's cells at each level, and the fans
  // between each level and a neighbour's along each edge (by level held here, neighbour's
  // level from full detail up, edge).
  std::array<std::vector<std::uint32_t>, kLevels> _cellPatterns;
  std::array<std::vector<std::array<std::vector<std::uint32_t>, 2>>, kLevels> _fanPatterns;
  // This frame's pieces by level, leaves and the fans they own alike, and those the index
  // buffer holds: from frame to frame the far leaves mostly keep their levels, and an
  // unchanged list is drawn again without being written and handed to the driver.
  Pieces _added;
  Pieces _written;
  // Indices of each level in the buffer, the levels one after another.
  std::array<UINT, kLevels> _writtenCounts{};
};

}  // namespace vantra::terrain
