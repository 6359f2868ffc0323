#include "terrain/terrain_patch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
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

// What a patch's vertices are made from, laid out once per patch: positions along the
// columns and the rows, texture coordinates, and every vertex's sampled height. Each thread
// keeps one and reuses it from patch to patch, so that summarising a patch touches no fresh
// memory.
struct TerrainPatch::Scratch {
  std::vector<float> columnX, columnU;
  std::vector<float> rowZ, rowV;
  // Normalised heights and the vertices' y, row by row.
  std::vector<float> heights, y;
};

TerrainPatch::TerrainPatch(int firstColumn, int lastColumn, int firstRow, int lastRow,
                           Terrain* terrain, IDirect3DDevice9* device, BufferTime bufferTime)
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
  if (bufferTime == BufferTime::kAtOnce) createBuffer();
}

void TerrainPatch::createBuffer() {
  // A buffer left open by a failed fill is closed before it goes.
  _lock.reset();
  _vertexBuffer.reset();
  const HRESULT hr =
      _device->CreateVertexBuffer(_bufferBytes, D3DUSAGE_WRITEONLY, TerrainVertex::FVF,
                                  D3DPOOL_DEFAULT, _vertexBuffer.out(), nullptr);
  if (FAILED(hr)) throw hr;
  // The lock hands out the buffer's host copy (or the memory OpenGL will draw from), which
  // fillVertices writes before closeBuffer hands it to the device.
  _lock.emplace(_vertexBuffer.get(), _bufferBytes, 0);
}

void TerrainPatch::_sample(Scratch& scratch) const {
  const int width = _terrain->width();
  const int depth = _terrain->depth();
  const Vector& scale = _terrain->scale();
  Vector offset(((_firstColumn + _lastColumn) * 0.5f - (width - 1) * 0.5f) * scale.x, 0.0f,
                ((depth - 1) * 0.5f - (_firstRow + _lastRow) * 0.5f) * scale.z);
  offset += _terrain->position();
  const Vector centring(-(_columns - 1) * scale.x * 0.5f, 0.0f, -(_rows - 1) * scale.z * 0.5f);

  // Single precision throughout; u and v are accumulated, not recomputed per vertex. Each
  // position component is the grid's own (column, height or row) plus the centring plus the
  // offset, added in that order as one vertex's position would be.
  const float uStart = static_cast<float>(_firstColumn) / static_cast<float>(width - 1);
  const float du = (static_cast<float>(_lastColumn) / static_cast<float>(width - 1) - uStart) /
                   static_cast<float>(_lastColumn - _firstColumn);
  const float vStart = static_cast<float>(_firstRow) / static_cast<float>(depth - 1);
  const float dv = (static_cast<float>(_lastRow) / static_cast<float>(depth - 1) - vStart) /
                   static_cast<float>(_lastRow - _firstRow);
  scratch.columnX.resize(_columns);
  scratch.columnU.resize(_columns);
  float u = uStart;
  for (int j = 0; j < _columns; ++j) {
    scratch.columnX[j] = j * scale.x + centring.x + offset.x;
    scratch.columnU[j] = u;
    u += du;
  }
  scratch.rowZ.resize(_rows);
  scratch.rowV.resize(_rows);
  float v = vStart;
  for (int i = 0; i < _rows; ++i) {
    scratch.rowZ[i] = (_rows - 1 - i) * scale.z + centring.z + offset.z;
    scratch.rowV[i] = v;
    v += dv;
  }
  scratch.heights.resize(_vertexCount);
  scratch.y.resize(_vertexCount);
  _terrain->heightMap()->sampleGrid(scratch.columnU.data(), _columns, scratch.rowV.data(), _rows,
                                    scratch.heights.data());
  for (int k = 0; k < _vertexCount; ++k)
    scratch.y[k] = scratch.heights[k] * scale.y + centring.y + offset.y;
}

TerrainVertex TerrainPatch::_vertex(const Scratch& scratch, int row, int column) const {
  const auto position = [&](int i, int j) {
    return Vector(scratch.columnX[j], scratch.y[index(i, j)], scratch.rowZ[i]);
  };
  TerrainVertex vertex;
  vertex.position = position(row, column);
  // The last row and column look back instead of forward; swapping the cross product's
  // operands for them keeps every normal on the upper side.
  const int di = row == _rows - 1 ? -1 : 1;
  const int dj = column == _columns - 1 ? -1 : 1;
  const Vector a = position(row, column + dj) - vertex.position;
  const Vector b = position(row + di, column) - vertex.position;
  vertex.normal = (di < 0) != (dj < 0) ? b ^ a : a ^ b;
  vertex.normal.normalize();
  vertex.diffuse =
      _terrain->model() ? kModelVertexColour : heightColour(scratch.heights[index(row, column)]);
  const float u = scratch.columnU[column];
  const float v = scratch.rowV[row];
  vertex.tu0 = u;
  vertex.tv0 = v;
  vertex.tu1 = 32.0f * u;
  vertex.tv1 = 32.0f * v;
  return vertex;
}

TerrainPatch::Scratch& TerrainPatch::_threadScratch() {
  thread_local Scratch scratch;
  return scratch;
}

void TerrainPatch::summarise(int coarseSide, TerrainVertex* coarseGrid) {
  Scratch& scratch = _threadScratch();
  _sample(scratch);
  _computeBounds(scratch);
  _computeLevelErrors(scratch);
  if (coarseGrid != nullptr)
    _writeCoarse(coarseSide, coarseGrid, [&](int i, int j) { return _vertex(scratch, i, j); });
}

void TerrainPatch::fillVertices() {
  Scratch& scratch = _threadScratch();
  _sample(scratch);
  auto* vertices = static_cast<TerrainVertex*>(_lock->data());
  for (int i = 0; i < _rows; ++i)
    for (int j = 0; j < _columns; ++j) vertices[index(i, j)] = _vertex(scratch, i, j);
  if (!_levelErrors.empty()) return;
  _computeBounds(scratch);
  _computeLevelErrors(scratch);
}

void TerrainPatch::copyCoarseGrid(int side, TerrainVertex* out) const {
  const auto* vertices = static_cast<const TerrainVertex*>(_lock->data());
  _writeCoarse(side, out, [&](int i, int j) { return vertices[index(i, j)]; });
}

template <typename VertexAt>
void TerrainPatch::_writeCoarse(int side, TerrainVertex* out, const VertexAt& vertexAt) const {
  const int last = _columns - 2;
  const int step = last / (side - 1);
  for (int i = 0; i < side; ++i)
    for (int j = 0; j < side; ++j) *out++ = vertexAt(i * step, j * step);
  for (int i = 0; i <= last; ++i) *out++ = vertexAt(i, last);
  for (int j = 0; j <= last; ++j) *out++ = vertexAt(last, j);
}

void TerrainPatch::_computeBounds(const Scratch& scratch) {
  // Neither NaN nor a negative zero occurs among the coordinates, so the extremes of each
  // component are the same values in any order.
  const auto extremes = [](const std::vector<float>& values) {
    float low = values.front(), high = low;
    for (const float value : values) {
      low = std::min(low, value);
      high = std::max(high, value);
    }
    return std::pair{low, high};
  };
  const auto [lowX, highX] = extremes(scratch.columnX);
  const auto [lowY, highY] = extremes(scratch.y);
  const auto [lowZ, highZ] = extremes(scratch.rowZ);
  _bounds = vantra::BoundingBox(Vector(lowX, lowY, lowZ), Vector(highX, highY, highZ));
}

namespace {

// Non-negative floats order as their bit patterns do as signed integers. Compared and
// selected as integers, the level errors' inner loop runs four vertices at a time: the
// compiler does not vectorise float selects and maxima under the default exception rules.
std::int32_t Bits(float f) {
  std::int32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

float FromBits(std::int32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

}  // namespace

void TerrainPatch::_computeLevelErrors(const Scratch& scratch) {
  const int lastColumn = _columns - 2;
  const int lastRow = _rows - 2;
  const float* heights = scratch.y.data();
  auto height = [&](int row, int column) { return heights[index(row, column)]; };
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
    std::int32_t worst = Bits(_levelErrors.back());
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
          const float* row = heights + index(i, xa);
          for (int t = 0; t <= xb - xa; ++t) {
            const float u = static_cast<float>(t) * du;
            // Both triangles' heights, then the one that holds the vertex (u + w >= 0).
            const float lower = a + u * (b - a) + w * (c - a);
            const float upper = d + (1.0f - u) * (c - d) + (1.0f - w) * (b - d);
            const std::int32_t inLower = -static_cast<std::int32_t>(Bits(u + w) <= Bits(1.0f));
            const float coarse = FromBits((Bits(lower) & inLower) | (Bits(upper) & ~inLower));
            worst = std::max(worst, Bits(std::fabs(coarse - row[t])));
          }
        }
      }
    }
    _levelErrors.push_back(FromBits(worst));
  }
}

D3DCOLOR TerrainPatch::heightColour(float h) {
  const float t = 1.0f - h;
  // Red, green and blue run from the low end to the high end of the ramp; alpha is 1 at
  // both ends, so it is opaque for any height.
  const auto channel = [t](float low, float high) {
    return static_cast<D3DCOLOR>(static_cast<int>((low + (high - low) * t) * 255.0f)) & 0xFF;
  };
  return 0xFF000000u | channel(0.54509807f, 0.9f) << 16 | channel(0.25098041f, 0.9f) << 8 |
         channel(0.062222224f, 0.9f);
}

}  // namespace vantra::terrain
