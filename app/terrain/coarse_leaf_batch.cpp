#include "terrain/coarse_leaf_batch.h"

#include <algorithm>
#include <utility>

namespace vantra::terrain {

namespace {

// A leaf's cells at one level, in grid steps, band by band as the strips run, each cell split
// along the diagonal from its first row's last column to its last row's first column; odd
// bands run backwards from the last row.
std::vector<std::uint32_t> CellPattern(int step, int cells, int gridSide) {
  const auto local = [gridSide](int row, int column) {
    return static_cast<std::uint32_t>(row * gridSide + column);
  };
  std::vector<std::uint32_t> pattern;
  for (int band = 0; band < cells; ++band) {
    const int xa = band * step;
    const int xb = xa + step;
    for (int k = 0; k < cells; ++k) {
      if (band % 2 == 0) {
        const int za = k * step;
        const int zb = za + step;
        pattern.insert(pattern.end(), {local(za, xa), local(za, xb), local(zb, xa), local(zb, xa),
                                       local(za, xb), local(zb, xb)});
      } else {
        const int zb = (cells - k) * step;
        const int za = zb - step;
        pattern.insert(pattern.end(), {local(zb, xb), local(zb, xa), local(za, xb), local(za, xb),
                                       local(zb, xa), local(za, xa)});
      }
    }
  }
  return pattern;
}

}  // namespace

int CoarseLeafBatch::FirstLevel(int cells) {
  int level = 0;
  while (((kGridSide - 1) << level) < cells) ++level;
  return level;
}

CoarseLeafBatch::CoarseLeafBatch(IDirect3DDevice9* device, int leafCount, int cells)
    : _device(device),
      _leafCount(leafCount),
      _verticesPerLeaf(VerticesPerLeaf(cells)),
      _firstLevel(FirstLevel(cells)) {
  const UINT bytes = static_cast<UINT>(leafCount * _verticesPerLeaf * sizeof(TerrainVertex));
  const HRESULT hr = _device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, TerrainVertex::FVF,
                                                 D3DPOOL_DEFAULT, _vertexBuffer.out(), nullptr);
  if (FAILED(hr)) throw hr;
  _lock.emplace(_vertexBuffer.get(), bytes, 0);

  // The fans index the full-detail edges after the grid, as the fan sets index the patch.
  const auto columnEdge = static_cast<std::uint32_t>(kGridSide * kGridSide);
  const auto rowEdge = columnEdge + static_cast<std::uint32_t>(cells + 1);
  const int levels = _firstLevel + kLevels;
  std::vector<int> fanPositions, fanSizes, fanTriangles;
  for (int k = 0; k < kLevels; ++k) {
    const int step = 1 << k;
    _cellPatterns[k] = CellPattern(step, (kGridSide - 1) / step, kGridSide);
    _fanPatterns[k].resize(levels);
    for (int n = 0; n < levels; ++n) {
      if (n == _firstLevel + k) continue;
      EdgeFanSet::WalkFans(cells + 1, 1 << (_firstLevel + k), 1 << n, fanPositions, fanSizes);
      fanTriangles.clear();
      EdgeFanSet::AppendTriangleList(fanPositions, fanSizes, fanTriangles);
      for (const int p : fanTriangles) {
        _fanPatterns[k][n][EdgeFanSet::kColumnEdge].push_back(columnEdge + p);
        _fanPatterns[k][n][EdgeFanSet::kRowEdge].push_back(rowEdge + p);
      }
    }
  }
}

TerrainVertex* CoarseLeafBatch::gridOf(int leaf) const {
  return static_cast<TerrainVertex*>(_lock->data()) + leaf * _verticesPerLeaf;
}

void CoarseLeafBatch::_add(int level, const std::vector<std::uint32_t>& pattern, int leaf) {
  _added[level - _firstLevel].push_back(
      {&pattern, static_cast<std::uint32_t>(leaf * _verticesPerLeaf)});
}

void CoarseLeafBatch::addLeaf(int leaf, int level) {
  _add(level, _cellPatterns[level - _firstLevel], leaf);
}

void CoarseLeafBatch::addFans(int leaf, int level, int neighbourLevel, EdgeFanSet::Kind edge) {
  _add(level, _fanPatterns[level - _firstLevel][neighbourLevel][edge], leaf);
}

UINT CoarseLeafBatch::indexCount() const {
  UINT total = 0;
  for (const UINT count : _writtenCounts) total += count;
  return total;
}

void CoarseLeafBatch::_writeIndices(UINT total) {
  // Until the new list is complete the buffer holds nothing worth drawing again.
  for (auto& level : _written) level.clear();
  _writtenCounts.fill(0);
  if (total > _indexCapacity) {
    // Grown by doubling: a few frames reach the size that serves the rest.
    const UINT capacity = std::max(total, 2 * _indexCapacity);
    _indexBuffer.reset();
    _indexCapacity = 0;
    const HRESULT hr =
        _device->CreateIndexBuffer(capacity * 4, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC,
                                   D3DFMT_INDEX32, D3DPOOL_DEFAULT, _indexBuffer.out(), nullptr);
    if (FAILED(hr)) throw hr;
    _indexCapacity = capacity;
  }
  {
    BufferLock lock(_indexBuffer.get(), total * 4, D3DLOCK_DISCARD);
    auto* out = static_cast<std::uint32_t*>(lock.data());
    for (int k = 0; k < kLevels; ++k) {
      const std::uint32_t* levelStart = out;
      for (const Piece& piece : _added[k])
        for (const std::uint32_t local : *piece.pattern) *out++ = piece.base + local;
      _writtenCounts[k] = static_cast<UINT>(out - levelStart);
    }
  }
  std::swap(_added, _written);
}

int CoarseLeafBatch::draw(const std::function<void(int)>& beforeLevel) {
  UINT total = 0;
  for (const auto& level : _added)
    for (const Piece& piece : level) total += static_cast<UINT>(piece.pattern->size());
  // With nothing to draw the buffer keeps the last list, still good for a later frame.
  if (total > 0 && _added != _written) _writeIndices(total);
  for (auto& level : _added) level.clear();
  if (total == 0) return 0;
  _device->SetStreamSource(0, _vertexBuffer.get(), 0, sizeof(TerrainVertex));
  _device->SetFVF(TerrainVertex::FVF);
  _device->SetIndices(_indexBuffer.get());
  const auto vertices = static_cast<UINT>(_leafCount * _verticesPerLeaf);
  if (!beforeLevel) {
    _device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices, 0, total / 3);
    return 1;
  }
  int draws = 0;
  UINT start = 0;
  for (int k = 0; k < kLevels; ++k) {
    const UINT count = _writtenCounts[k];
    if (count > 0) {
      beforeLevel(_firstLevel + k);
      _device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices, start, count / 3);
      ++draws;
    }
    start += count;
  }
  return draws;
}

}  // namespace vantra::terrain
