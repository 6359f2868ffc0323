// Triangle fans that close the gap along one edge of a leaf whose neighbour is drawn at
// another level of detail. The fans stand in the vertical plane of the shared edge, between
// the coarse side's straight segments and the fine side's vertices. The buffer holds the fans
// as fans, then the same triangles as one list, which is what is drawn: one draw per set.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/com_ref.h"
#include "platform/d3d9.h"

namespace vantra::terrain {

class TerrainPatch;

class EdgeFanSet {
 public:
  // The edge a set follows: the patch's last drawn column (toward the neighbour holding the
  // next grid columns) or its last drawn row (toward the next grid rows).
  enum Kind { kColumnEdge, kRowEdge };

  // Creates the empty buffer. Throws the device's result code (std::int32_t) on failure.
  EdgeFanSet(Kind kind, TerrainPatch* patch, IDirect3DDevice9* device);

  EdgeFanSet(const EdgeFanSet&) = delete;
  EdgeFanSet& operator=(const EdgeFanSet&) = delete;

  // The fans between vertex steps stepA and stepB (either order) along an edge of positions
  // 0..n-1: each fan's positions one after another in fanPositions (its head on the coarse
  // side, the fine positions it spans, the end of its coarse segment), its length in
  // fanSizes.
  static void WalkFans(int n, int stepA, int stepB, std::vector<int>& fanPositions,
                       std::vector<int>& fanSizes);
  // Appends the triangles of those fans, three positions each, leaving out degenerate ones.
  static void AppendTriangleList(const std::vector<int>& fanPositions,
                                 const std::vector<int>& fanSizes, std::vector<int>& triangles);

  // Rewrites the fans for the vertex steps (2^level) of the two leaves, in either order.
  void build(int stepA, int stepB);
  // Draws every fan in one draw.
  void draw() const;

  // Whether the fans now in the buffer were built for these two steps.
  bool builtFor(int stepA, int stepB) const;

  Kind kind() const { return _kind; }
  const std::vector<int>& fanSizes() const { return _fanSizes; }
  // Triangles of the fans, degenerate ones included.
  int primitiveCount() const { return _primitiveCount; }
  // Where the list that draw draws starts in the buffer, in indices, and its triangles.
  UINT listStart() const { return _listStart; }
  UINT listTriangles() const { return _listTriangles; }
  IDirect3DIndexBuffer9* indexBuffer() const { return _indexBuffer.get(); }
  int bufferBytes() const { return _bufferBytes; }

 private:
  int _edgeVertex(int p) const;

  Kind _kind;
  platform::ComRef<IDirect3DIndexBuffer9> _indexBuffer;
  IDirect3DDevice9* _device;
  TerrainPatch* _patch;
  int _bufferBytes;
  std::vector<int> _fanSizes;
  // The last build's fans and triangle list as edge positions, kept to spare allocations.
  std::vector<int> _fanPositions;
  std::vector<int> _listPositions;
  int _primitiveCount = 0;
  // Where the triangle list starts in the buffer, in indices, and its triangles.
  UINT _listStart = 0;
  UINT _listTriangles = 0;
  // The coarse and fine steps of the last build; 0 before the first.
  int _builtCoarse = 0;
  int _builtFine = 0;
};

}  // namespace vantra::terrain
