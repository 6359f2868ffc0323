#include "terrain/edge_fan_set.h"

#include <algorithm>
#include <cstdint>
#include <utility>

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

void EdgeFanSet::build(int stepA, int stepB) {
  int coarse = stepA;
  int fine = stepB;
  if (coarse < fine) std::swap(coarse, fine);
  const int n = _kind == kColumnEdge ? _patch->rows() - 1 : _patch->columns() - 1;

  BufferLock lock(_indexBuffer.get(), _bufferBytes, D3DLOCK_DISCARD);
  auto* out = static_cast<std::uint16_t*>(lock.data());
  _fanSizes.clear();
  _primitiveCount = 0;
  // Walk the two lists of edge positions p = 0, step, 2 step, ... (p < n) in step. Vertex
  // numbers grow with p along the edge, so comparing them compares positions.
  int nextCoarse = 0;
  int nextFine = 0;
  for (;;) {
    const int head = nextCoarse;
    nextCoarse += coarse;
    if (nextCoarse >= n) break;
    const auto m = static_cast<std::uint16_t>(_edgeVertex(nextCoarse));
    *out++ = static_cast<std::uint16_t>(_edgeVertex(head));
    int size = 1;
    while (nextFine < n) {
      const auto f = static_cast<std::uint16_t>(_edgeVertex(nextFine));
      nextFine += fine;
      *out++ = f;
      ++size;
      if (f >= m) break;
    }
    *out++ = m;
    ++size;
    _fanSizes.push_back(size);
    _primitiveCount += size - 2;
  }
  _appendTriangleList(static_cast<std::uint16_t*>(lock.data()), out);
  _builtCoarse = coarse;
  _builtFine = fine;
}

void EdgeFanSet::_appendTriangleList(const std::uint16_t* fans, std::uint16_t* out) {
  // The fans' triangles without the degenerate ones, so that one draw covers them all.
  _listStart = static_cast<UINT>(out - fans);
  const std::uint16_t* fan = fans;
  for (const int size : _fanSizes) {
    for (int k = 1; k + 1 < size; ++k) {
      if (fan[k] == fan[0] || fan[k] == fan[k + 1] || fan[k + 1] == fan[0]) continue;
      *out++ = fan[0];
      *out++ = fan[k];
      *out++ = fan[k + 1];
    }
    fan += size;
  }
  _listTriangles = static_cast<UINT>(out - fans - _listStart) / 3;
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
