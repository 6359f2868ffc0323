// Every level of detail of one patch as triangle strips in one 16-bit index buffer. Level L
// uses every 2^L-th column and row; choosing a level is choosing a range of the buffer.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/com_ref.h"
#include "platform/d3d9.h"

namespace vantra::terrain {

class TerrainPatch;

// The part of the index buffer that draws one level.
struct LevelRange {
  std::uint16_t start;
  int count;
};

class LodIndexSet {
 public:
  // Covers patch columns firstColumn..lastColumn and rows firstRow..lastRow (inclusive).
  // Throws the device's result code (std::int32_t) on failure, and E_INVALIDARG when the
  // patch or its strips do not fit 16-bit indices. The strips hold patch vertex numbers, so
  // every set over the same range of equally wide patches has the same ones: given such a
  // set as sameStrips, this one draws from its buffer instead of building another.
  LodIndexSet(int firstColumn, int lastColumn, int firstRow, int lastRow, TerrainPatch* patch,
              IDirect3DDevice9* device, const LodIndexSet* sameStrips = nullptr);

  // Whether this set's strips serve a set over these patch columns and rows of a patch
  // columns wide.
  bool servesAlike(int firstColumn, int lastColumn, int firstRow, int lastRow, int columns) const;

  LodIndexSet(const LodIndexSet&) = delete;
  LodIndexSet& operator=(const LodIndexSet&) = delete;

  // The caller keeps 0 <= level <= maxLevel().
  void setLevel(int level) { _level = level; }
  int level() const { return _level; }
  int maxLevel() const { return _maxLevel; }
  // Triangles that draw hands to the device for the current level, degenerate ones included.
  int primitiveCount() const { return _levels[_level].count - 2; }
  const std::vector<LevelRange>& levels() const { return _levels; }
  IDirect3DIndexBuffer9* indexBuffer() const { return _indexBuffer.get(); }

  // Draws the current level.
  void draw() const;

 private:
  void _build();

  platform::ComRef<IDirect3DIndexBuffer9> _indexBuffer;
  IDirect3DDevice9* _device;
  TerrainPatch* _patch;
  std::vector<LevelRange> _levels;
  int _level = 0;
  int _maxLevel = 0;
  int _firstColumn;
  int _lastColumn;
  int _firstRow;
  int _lastRow;
  int _cellColumns;
  int _rowVertices;
};

}  // namespace vantra::terrain
