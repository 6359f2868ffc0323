#include "terrain/edge_fan_set.h"

#include <algorithm>
#include <cstdint>

#include "terrain/buffer_lock.h"
#include "terrain/terrain_patch.h"
#include "terrain/terrain_vertex.h"

namespace vantra::terrain {

EdgeFanSet::EdgeFanSet(Kind kind, TerrainPatch* patch, IDirect3DDevice9* device)
    : _kind(kind), _device(device), _patch(patch) {
  // Six indices per cell of the edge: the fans take at most two per cell and one more, the
  // same triangles as a list at most three.
  const int cells = kind == kColumnEdge ? patch->rows() - 2 : patch->columns() - 2;
  _bufferBytes = cells * 12;
  const HRESULT hr =
      _device->CreateIndexBuffer(_bufferBytes, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC,
                                 D3DFMT_INDEX16, D3DPOOL_DEFAULT, _indexBuffer.out(), nullptr);
  if (FAILED(hr)) throw hr;
}

int EdgeFanSet::_edgeVertex(int p) const {
  return _kind == kColumnEdge ? _patch->index(p, _patch->columns() - 2)
                              : _patch->index(_patch->rows() - 2, p);
}

void EdgeFanSet::WalkFans(int n, int stepA, int stepB, std::vector<int>& fanPositions,
                          std::vector<int>& fanSizes) {
  const int coarse = std::max(stepA, stepB);
  const int fine = std::min(stepA, stepB);
  fanPositions.clear();
  fanSizes.clear();
  // Walk the two lists of edge positions p = 0, step, 2 step, ... (p < n) in step.
  int nextCoarse = 0;
  int nextFine = 0;
  for (;;) {
    const int head = nextCoarse;
    nextCoarse += coarse;
    if (nextCoarse >= n) break;
    fanPositions.push_back(head);
    int size = 1;
    while (nextFine < n) {
      const int f = nextFine;
      nextFine += fine;
      fanPositions.push_back(f);
      ++size;
      if (f >= nextCoarse) break;
    }
    fanPositions.push_back(nextCoarse);
    fanSizes.push_back(size + 1);
  }
}

void EdgeFanSet::AppendTriangleList(const std::vector<int>& fanPositions,
                                    const std::vector<int>& fanSizes, std::vector<int>& triangles) {
  const int* fan = fanPositions.data();
  for (const int size : fanSizes) {
    for (int k = 1; k + 1 < size; ++k) {
      if (fan[k] == fan[0] || fan[k] == fan[k + 1] || fan[k + 1] == fan[0]) continue;
      triangles.insert(triangles.end(), {fan[0], fan[k], fan[k + 1]});
    }
    fan += size;
  }
}

void EdgeFanSet::build(int stepA, int stepB) {
  const int n = _kind == kColumnEdge ? _patch->rows() - 1 : _patch->columns() - 1;
  WalkFans(n, stepA, stepB, _fanPositions, _fanSizes);
  _listPositions.clear();
  // The fans' triangles without the degenerate ones, so that one draw covers them all.
  AppendTriangleList(_fanPositions, _fanSizes, _listPositions);

  BufferLock lock(_indexBuffer.get(), _bufferBytes, D3DLOCK_DISCARD);
  auto* out = static_cast<std::uint16_t*>(lock.data());
  for (const int p : _fanPositions) *out++ = static_cast<std::uint16_t>(_edgeVertex(p));
  for (const int p : _listPositions) *out++ = static_cast<std::uint16_t>(_edgeVertex(p));
  _primitiveCount = 0;
  for (const int size : _fanSizes) _primitiveCount += size - 2;
  _listStart = static_cast<UINT>(_fanPositions.size());
  _listTriangles = static_cast<UINT>(_listPositions.size() / 3);
  _builtCoarse = std::max(stepA, stepB);
  _builtFine = std::min(stepA, stepB);
}

bool EdgeFanSet::builtFor(int stepA, int stepB) const {
  return std::max(stepA, stepB) == _builtCoarse && std::min(stepA, stepB) == _builtFine;
}

void EdgeFanSet::draw() const {
  if (_listTriangles == 0) return;
  _device->SetStreamSource(0, _patch->vertexBuffer(), 0, sizeof(TerrainVertex));
  _device->SetFVF(TerrainVertex::FVF);
  _device->SetIndices(_indexBuffer.get());
  _device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, _patch->vertexCount(), _listStart,
                                _listTriangles);
}

}  // namespace vantra::terrain
