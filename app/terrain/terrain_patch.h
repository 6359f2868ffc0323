// The full-resolution vertex grid of one quadtree leaf in one vertex buffer, sampled from the
// terrain's height map once when the leaf is built. Every level of detail and every edge fan
// of the leaf indexes into it.
#pragma once

#include "engine/com_ref.h"
#include "platform/d3d9.h"
#include "vantra/bounding_box.h"

class Terrain;
struct TerrainVertex;

class TerrainPatch {
 public:
  // Covers terrain grid columns firstColumn..lastColumn and rows firstRow..lastRow
  // (inclusive). Throws the device's result code (std::int32_t) on failure.
  TerrainPatch(int firstColumn, int lastColumn, int firstRow, int lastRow, Terrain* terrain,
               IDirect3DDevice9* device);

  TerrainPatch(const TerrainPatch&) = delete;
  TerrainPatch& operator=(const TerrainPatch&) = delete;

  // Vertices are stored row by row.
  int index(int row, int column) const { return column + row * _columns; }

  IDirect3DVertexBuffer9* vertexBuffer() const { return _vertexBuffer.get(); }
  int vertexCount() const { return _vertexCount; }
  int bufferBytes() const { return _bufferBytes; }
  int columns() const { return _columns; }
  int rows() const { return _rows; }

  // Box of the positions in patch columns c0..c1 and rows r0..r1 (inclusive).
  void computeBounds(int c0, int c1, int r0, int r1, vantra::BoundingBox& box) const;

  // Vertex colour of a normalised height: light grey at 0, brown at 1.
  static D3DCOLOR heightColour(float h);

 private:
  void _build();
  void _computeNormals(TerrainVertex* vertices) const;

  ComRef<IDirect3DVertexBuffer9> _vertexBuffer;
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
};
