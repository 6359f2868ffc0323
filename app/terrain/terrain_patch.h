// The full-resolution vertex grid of one quadtree leaf in one vertex buffer, sampled from the
// terrain's height map. Every level of detail and every edge fan of the leaf indexes into it.
// A patch can also be summarised without its buffer (box, level errors, a coarse grid of its
// vertices and its far edges) and filled later, the first time the leaf is drawn on its own.
#pragma once

#include <optional>
#include <vector>

#include "platform/com_ref.h"
#include "platform/d3d9.h"
#include "terrain/buffer_lock.h"
#include "terrain/terrain_vertex.h"
#include "vantra/bounding_box.h"

namespace vantra::terrain {

class Terrain;

class TerrainPatch {
 public:
  // When the vertex buffer is made: by the constructor, or by createBuffer once the patch
  // is first needed for drawing.
  enum class BufferTime { kAtOnce, kOnDemand };

  // Covers terrain grid columns firstColumn..lastColumn and rows firstRow..lastRow
  // (inclusive). At once, creates the vertex buffer and holds it open for fillVertices; on
  // the device's thread. Throws the device's result code (std::int32_t) on failure.
  TerrainPatch(int firstColumn, int lastColumn, int firstRow, int lastRow, Terrain* terrain,
               IDirect3DDevice9* device, BufferTime bufferTime = BufferTime::kAtOnce);

  // Without a buffer: the bounds and level errors, and when coarseGrid is not null the
  // vertices copyCoarseGrid would copy, from heights sampled into this thread's scratch
  // memory. Writes only this patch and reads the terrain, so different patches may be
  // summarised on different threads at the same time.
  void summarise(int coarseSide, TerrainVertex* coarseGrid);
  // On the device's thread, for a patch made on demand: creates the vertex buffer (again,
  // after a fill that failed) and holds it open for fillVertices. Throws the device's result
  // code on failure.
  void createBuffer();
  // Samples the heights into the open buffer and derives the normals, colours, and the
  // bounds and level errors unless summarise found them. Writes only this patch and reads
  // the terrain, so different patches may be filled on different threads at the same time.
  void fillVertices();
  // Hands the filled vertices to the device; on the device's thread, after fillVertices.
  void closeBuffer() { _lock.reset(); }

  TerrainPatch(const TerrainPatch&) = delete;
  TerrainPatch& operator=(const TerrainPatch&) = delete;

  // Vertices are stored row by row.
  int index(int row, int column) const { return column + row * _columns; }

  // Null until a patch made on demand has been given its buffer.
  IDirect3DVertexBuffer9* vertexBuffer() const { return _vertexBuffer.get(); }
  // Whether the buffer exists and its vertices have been handed to the device.
  bool filled() const { return _vertexBuffer && !_lock; }
  int vertexCount() const { return _vertexCount; }
  int bufferBytes() const { return _bufferBytes; }
  int columns() const { return _columns; }
  int rows() const { return _rows; }

  // Box of every vertex of the patch, extra column and row included.
  const vantra::BoundingBox& bounds() const { return _bounds; }
  // For each level of detail of the drawn grid (columns 0..columns - 2, rows 0..rows - 2,
  // every 2^L-th column and row as the strips take them), the largest vertical distance in
  // world units between that level's triangles and the full-detail heights. Level 0 is 0;
  // the values never decrease with the level.
  const std::vector<float>& levelErrors() const { return _levelErrors; }
  // Copies every (columns - 2) / (side - 1)-th vertex of the drawn grid, side x side of
  // them row by row, then every vertex of its last drawn column and of its last drawn row
  // (columns - 1 each), on which the fans toward its neighbours stand, to out, for the far
  // leaves drawn together; after fillVertices and before closeBuffer, on the same thread.
  // The drawn grid must be square, its cells a multiple of side - 1.
  void copyCoarseGrid(int side, TerrainVertex* out) const;

  // Vertex colour of a normalised height: light grey at 0, brown at 1.
  static D3DCOLOR heightColour(float h);

 private:
  struct Scratch;
  // This thread's scratch memory, reused from patch to patch.
  static Scratch& _threadScratch();

  // Samples the heights and lays out the columns and rows in the scratch memory.
  void _sample(Scratch& scratch) const;
  // Vertex (row, column) from the sampled heights, normal included.
  TerrainVertex _vertex(const Scratch& scratch, int row, int column) const;
  // Writes what copyCoarseGrid copies, taking vertexAt(row, column) for each vertex.
  template <typename VertexAt>
  void _writeCoarse(int side, TerrainVertex* out, const VertexAt& vertexAt) const;
  void _computeBounds(const Scratch& scratch);
  void _computeLevelErrors(const Scratch& scratch);

  platform::ComRef<IDirect3DVertexBuffer9> _vertexBuffer;
  int _columns;
  int _rows;
  int _firstColumn;
  int _lastColumn;
  int _firstRow;
  int _lastRow;
  int _bufferBytes = 0;
  int _vertexCount = 0;
  Terrain* _terrain;
  IDirect3DDevice9* _device;
  vantra::BoundingBox _bounds;
  std::vector<float> _levelErrors;
  // Open from createBuffer to closeBuffer; declared after the buffer so that it closes first.
  std::optional<BufferLock> _lock;
};

}  // namespace vantra::terrain
