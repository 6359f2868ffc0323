#include "terrain/edge_fan_set.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "terrain/buffer_lock.h"
#include "terrain/terrain_patch.h"
#include "terrain/terrain_vertex.h"

EdgeFanSet::EdgeFanSet(Kind kind, TerrainPatch* patch, IDirect3DDevice9* device)
    : _kind(kind), _device(device), _patch(patch) {
  // Six indices per cell of the edge: more than the worst case of coarse step 2 over fine
  // step 1, which needs a little over two.
  const int cells = kind == COLUMN_EDGE ? patch->rows() - 2 : patch->columns() - 2;
  _bufferBytes = cells * 12;
  const HRESULT hr =
      _device->CreateIndexBuffer(_bufferBytes, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC,
                                 D3DFMT_INDEX16, D3DPOOL_DEFAULT, _indexBuffer.out(), nullptr);
  if (FAILED(hr)) throw hr;
}

int EdgeFanSet::_edgeVertex(int p) const {
  return _kind == COLUMN_EDGE ? _patch->index(p, _patch->columns() - 2)
                              : _patch->index(_patch->rows() - 2, p);
}

void EdgeFanSet::build(int stepA, int stepB) {
  int coarse = stepA;
  int fine = stepB;
  if (coarse < fine) std::swap(coarse, fine);
  const int n = _kind == COLUMN_EDGE ? _patch->rows() - 1 : _patch->columns() - 1;

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
  _builtCoarse = coarse;
  _builtFine = fine;
}

bool EdgeFanSet::builtFor(int stepA, int stepB) const {
  return std::max(stepA, stepB) == _builtCoarse && std::min(stepA, stepB) == _builtFine;
}

void EdgeFanSet::draw() const {
  _device->SetStreamSource(0, _patch->vertexBuffer(), 0, sizeof(TerrainVertex));
  _device->SetFVF(TerrainVertex::FVF);
  _device->SetIndices(_indexBuffer.get());
  UINT start = 0;
  for (const int size : _fanSizes) {
    _device->DrawIndexedPrimitive(D3DPT_TRIANGLEFAN, 0, 0, _patch->vertexCount(), start, size - 2);
    start += size;
  }
}
