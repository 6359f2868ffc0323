#include "terrain/lod_index_set.h"

#include <algorithm>

#include "terrain/buffer_lock.h"
#include "terrain/terrain_patch.h"
#include "terrain/terrain_vertex.h"

namespace vantra::terrain {

LodIndexSet::LodIndexSet(int firstColumn, int lastColumn, int firstRow, int lastRow,
                         TerrainPatch* patch, IDirect3DDevice9* device,
                         const LodIndexSet* sameStrips)
    : _device(device),
      _patch(patch),
      _firstColumn(firstColumn),
      _lastColumn(lastColumn),
      _firstRow(firstRow),
      _lastRow(lastRow),
      _cellColumns(lastColumn - firstColumn),
      _rowVertices(lastRow - firstRow + 1) {
  if (sameStrips != nullptr &&
      sameStrips->servesAlike(firstColumn, lastColumn, firstRow, lastRow, patch->columns())) {
    _indexBuffer.retain(sameStrips->_indexBuffer.get());
    _levels = sameStrips->_levels;
    _maxLevel = sameStrips->_maxLevel;
    return;
  }
  _build();
}

bool LodIndexSet::servesAlike(int firstColumn, int lastColumn, int firstRow, int lastRow,
                              int columns) const {
  return firstColumn == _firstColumn && lastColumn == _lastColumn && firstRow == _firstRow &&
         lastRow == _lastRow && columns == _patch->columns();
}

void LodIndexSet::_build() {
  // A level has nc bands of 2 * nv indices joined by nc - 1 joints of 4.
  int total = 0;
  int lastStart = 0;
  for (int nc = _cellColumns, nv = _rowVertices; nc > 0; nc /= 2, nv = nc + 1) {
    lastStart = total;
    total += 2 * nc * (nv + 2) - 4;
  }
  // Vertex numbers and level starts are 16-bit; a larger patch would wrap around silently.
  if (_patch->vertexCount() > 65536 || lastStart > 65535 || total <= 0) throw E_INVALIDARG;

  const HRESULT hr = _device->CreateIndexBuffer(total * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                                D3DPOOL_DEFAULT, _indexBuffer.out(), nullptr);
  if (FAILED(hr)) throw hr;

  BufferLock lock(_indexBuffer.get(), total * 2, 0);
  auto* out = static_cast<std::uint16_t*>(lock.data());
  auto index = [this](int row, int column) {
    return static_cast<std::uint16_t>(_patch->index(row, column));
  };

  _levels.clear();
  int start = 0;
  int level = 0;
  for (int nc = _cellColumns, nv = _rowVertices; nc > 0; nc /= 2, nv = nc + 1, ++level) {
    const int s = 1 << level;
    auto z = [&](int k) { return k == nv - 1 ? _lastRow : std::min(_firstRow + k * s, _lastRow); };
    const std::uint16_t* levelStart = out;
    for (int r = 0; r < nc; ++r) {
      const int xA = std::min(_firstColumn + r * s, _lastColumn);
      const int xB = r == nc - 1 ? _lastColumn : _firstColumn + (r + 1) * s;
      // Bands alternate direction so that the strip snakes across the patch.
      if (r % 2 == 0) {
        for (int k = 0; k < nv; ++k) {
          *out++ = index(z(k), xA);
          *out++ = index(z(k), xB);
        }
      } else {
        for (int k = nv - 1; k >= 0; --k) {
          *out++ = index(z(k), xB);
          *out++ = index(z(k), xA);
        }
      }
      if (r == nc - 1) break;
      // Four indices of degenerate triangles into the next band; an even count keeps every
      // band on the same triangle parity, so all visible triangles share one winding.
      const int xNext = std::min(_firstColumn + (r + 2) * s, _lastColumn);
      if (r % 2 == 0) {
        const std::uint16_t p = out[-1];
        const std::uint16_t x = index(_lastRow, xNext);
        *out++ = p;
        *out++ = p;
        *out++ = x;
        *out++ = p;
      } else {
        const std::uint16_t q = out[-2];
        const std::uint16_t y = index(z(0), xNext);
        *out++ = q;
        *out++ = q;
        *out++ = q;
        *out++ = y;
      }
    }
    const int count = static_cast<int>(out - levelStart);
    _levels.push_back({static_cast<std::uint16_t>(start), count});
    start += count;
  }
  _maxLevel = level - 1;
}

void LodIndexSet::draw() const {
  const LevelRange& range = _levels[_level];
  _device->SetStreamSource(0, _patch->vertexBuffer(), 0, sizeof(TerrainVertex));
  _device->SetFVF(TerrainVertex::FVF);
  _device->SetIndices(_indexBuffer.get());
  _device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, _patch->vertexCount(), range.start,
                                primitiveCount());
}

}  // namespace vantra::terrain
