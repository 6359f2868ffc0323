#include "terrain/terrain_patch.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "terrain/sampled_texture.h"
#include "terrain/terrain.h"
#include "terrain/terrain_vertex.h"

namespace vantra::terrain {

using vantra::Vector;

namespace {

// A model's colour map already tints it by height: its vertices take the light end of the
// built-in ramp, so that the map shows as it is.
constexpr D3DCOLOR kModelVertexColour = 0xFFE5E5E5;

}  // namespace

TerrainPatch::TerrainPatch(int firstColumn, int lastColumn, int firstRow, int lastRow,
                           Terrain* terrain, IDirect3DDevice9* device)
    : _columns(lastColumn - firstColumn + 1),
      _rows(lastRow - firstRow + 1),
      _firstColumn(firstColumn),
      _lastColumn(lastColumn),
      _firstRow(firstRow),
      _lastRow(lastRow),
      _terrain(terrain),
      _device(device) {
  _vertexCount = _columns * _rows;
  _bufferBytes = _vertexCount * static_cast<int>(sizeof(TerrainVertex));
  const HRESULT hr =
      _device->CreateVertexBuffer(_bufferBytes, D3DUSAGE_WRITEONLY, TerrainVertex::FVF,
                                  D3DPOOL_DEFAULT, _vertexBuffer.out(), nullptr);
  if (FAILED(hr)) throw hr;
  // The lock hands out the buffer's host copy, which the bounds and level errors read before
  // closeBuffer hands it to the device.
  _lock.emplace(_vertexBuffer.get(), _bufferBytes, 0);
}

void TerrainPatch::fillVertices() {
  const int width = _terrain->width();
  const int depth = _terrain->depth();
  const Vector& scale = _terrain->scale();
  Vector offset(((_firstColumn + _lastColumn) * 0.5f - (width - 1) * 0.5f) * scale.x, 0.0f,
                ((depth - 1) * 0.5f - (_firstRow + _lastRow) * 0.5f) * scale.z);
  offset += _terrain->position();
  const Vector centring(-(_columns - 1) * scale.x * 0.5f, 0.0f, -(_rows - 1) * scale.z * 0.5f);

  auto* vertices = static_cast<TerrainVertex*>(_lock->data());

  // Single precision throughout; u and v are accumulated, not recomputed per vertex.
  const float uStart = static_cast<float>(_firstColumn) / static_cast<float>(width - 1);
  const float du = (static_cast<float>(_lastColumn) / static_cast<float>(width - 1) - uStart) /
                   static_cast<float>(_lastColumn - _firstColumn);
  const float vStart = static_cast<float>(_firstRow) / static_cast<float>(depth - 1);
  const float dv = (static_cast<float>(_lastRow) / static_cast<float>(depth - 1) - vStart) /
                   static_cast<float>(_lastRow - _firstRow);

  const SampledTexture& heightMap = *_terrain->heightMap();
  float v = vStart;
  for (int i = 0; i < _rows; ++i) {
    float u = uStart;
    for (int j = 0; j < _columns; ++j) {
      TerrainVertex& vertex = vertices[index(i, j)];
      const float h = heightMap.sample(u, v);
      vertex.position = Vector(j * scale.x, h * scale.y, (_rows - 1 - i) * scale.z);
      vertex.position += centring;
      vertex.position += offset;
      vertex.diffuse = _terrain->model() ? kModelVertexColour : heightColour(h);
      vertex.tu0 = u;
      vertex.tv0 = v;
      vertex.tu1 = 32.0f * u;
      vertex.tv1 = 32.0f * v;
      u += du;
    }
    v += dv;
  }
  _computeNormals(vertices);
  // Read from the vertices in place rather than through a copy of every position.
  Vector lowest = vertices[0].position, highest = lowest;
  for (int i = 1; i < _vertexCount; ++i) {
    const Vector& p = vertices[i].position;
    lowest = Vector(std::min(lowest.x, p.x), std::min(lowest.y, p.y), std::min(lowest.z, p.z));
    highest = Vector(std::max(highest.x, p.x), std::max(highest.y, p.y), std::max(highest.z, p.z));
  }
  _bounds = vantra::BoundingBox(lowest, highest);
  _computeLevelErrors(vertices);
}

void TerrainPatch::copyCoarseGrid(int side, TerrainVertex* out) const {
  const auto* vertices = static_cast<const TerrainVertex*>(_lock->data());
  const int step = (_columns - 2) / (side - 1);
  for (int i = 0; i < side; ++i)
    for (int j = 0; j < side; ++j) *out++ = vertices[index(i * step, j * step)];
}

void TerrainPatch::_computeNormals(TerrainVertex* vertices) const {
  for (int i = 0; i < _rows; ++i) {
    for (int j = 0; j < _columns; ++j) {
      // The last row and column look back instead of forward; swapping the cross product's
      // operands for them keeps every normal on the upper side.
      const int di = i == _rows - 1 ? -1 : 1;
      const int dj = j == _columns - 1 ? -1 : 1;
      const Vector& p = vertices[index(i, j)].position;
      const Vector a = vertices[index(i, j + dj)].position - p;
      const Vector b = vertices[index(i + di, j)].position - p;
      Vector n = (di < 0) != (dj < 0) ? b ^ a : a ^ b;
      n.normalize();
      vertices[index(i, j)].normal = n;
    }
  }
}

void TerrainPatch::_computeLevelErrors(const TerrainVertex* vertices) {
  const int lastColumn = _columns - 2;
  const int lastRow = _rows - 2;
  auto height = [&](int row, int column) { return vertices[index(row, column)].position.y; };
  _levelErrors.assign(1, 0.0f);
  // The same bands and rows of steps as the strips, clamped to the last column and row. Each
  // cell of a level is split along the diagonal from its first row's last column to its last
  // row's first column, as the strips split it; the full-detail vertices inside are compared
  // with the plane of the triangle that holds them. Where the cells are square the diagonal
  // runs through full-detail vertices, so the largest distance lies on a vertex.
  for (int cells = lastColumn / 2, level = 1; cells > 0; cells /= 2, ++level) {
    const int s = 1 << level;
    const int steps = cells + 1;
    auto z = [&](int k) { return k == steps - 1 ? lastRow : std::min(k * s, lastRow); };
    float worst = _levelErrors.back();
    for (int band = 0; band < cells; ++band) {
      const int xa = std::min(band * s, lastColumn);
      const int xb = band == cells - 1 ? lastColumn : (band + 1) * s;
      for (int k = 0; k + 1 < steps; ++k) {
        const int za = z(k);
        const int zb = z(k + 1);
        if (xb <= xa || zb <= za) continue;
        const float a = height(za, xa), b = height(za, xb), c = height(zb, xa), d = height(zb, xb);
        const float du = 1.0f / static_cast<float>(xb - xa);
        const float dw = 1.0f / static_cast<float>(zb - za);
        for (int i = za; i <= zb; ++i) {
          const float w = static_cast<float>(i - za) * dw;
          for (int j = xa; j <= xb; ++j) {
            const float u = static_cast<float>(j - xa) * du;
            const float coarse = u + w <= 1.0f ? a + u * (b - a) + w * (c - a)
                                               : d + (1.0f - u) * (c - d) + (1.0f - w) * (b - d);
            worst = std::max(worst, std::fabs(coarse - height(i, j)));
          }
        }
      }
    }
    _levelErrors.push_back(worst);
  }
}

D3DCOLOR TerrainPatch::heightColour(float h) {
  const float t = 1.0f - h;
  const float high[4] = {0.9f, 0.9f, 0.9f, 1.0f};
  const float low[4] = {0.54509807f, 0.25098041f, 0.062222224f, 1.0f};
  int channel[4];
  for (int k = 0; k < 4; ++k)
    channel[k] = static_cast<int>((low[k] + (high[k] - low[k]) * t) * 255.0f);
  return (static_cast<D3DCOLOR>(channel[3]) << 24) |
         ((static_cast<D3DCOLOR>(channel[0]) & 0xFF) << 16) |
         ((static_cast<D3DCOLOR>(channel[1]) & 0xFF) << 8) |
         (static_cast<D3DCOLOR>(channel[2]) & 0xFF);
}

}  // namespace vantra::terrain
