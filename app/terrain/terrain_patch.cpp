#include "terrain/terrain_patch.h"

#include <vector>

#include "terrain/buffer_lock.h"
#include "terrain/sampled_texture.h"
#include "terrain/terrain.h"
#include "terrain/terrain_vertex.h"

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
  _build();
}

void TerrainPatch::_build() {
  _vertexCount = _columns * _rows;
  _bufferBytes = _vertexCount * static_cast<int>(sizeof(TerrainVertex));
  const HRESULT hr =
      _device->CreateVertexBuffer(_bufferBytes, D3DUSAGE_WRITEONLY, TerrainVertex::FVF,
                                  D3DPOOL_DEFAULT, _vertexBuffer.out(), nullptr);
  if (FAILED(hr)) throw hr;

  const int width = _terrain->width();
  const int depth = _terrain->depth();
  const Vector& scale = _terrain->scale();
  Vector offset(((_firstColumn + _lastColumn) * 0.5f - (width - 1) * 0.5f) * scale.x, 0.0f,
                ((depth - 1) * 0.5f - (_firstRow + _lastRow) * 0.5f) * scale.z);
  offset += _terrain->position();
  const Vector centring(-(_columns - 1) * scale.x * 0.5f, 0.0f, -(_rows - 1) * scale.z * 0.5f);

  BufferLock lock(_vertexBuffer.get(), _bufferBytes, 0);
  auto* vertices = static_cast<TerrainVertex*>(lock.data());

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
      vertex.normal = Vector(0.0f, 0.0f, 0.0f);
      vertex.tu0 = u;
      vertex.tv0 = v;
      vertex.tu1 = 32.0f * u;
      vertex.tv1 = 32.0f * v;
      u += du;
    }
    v += dv;
  }
  _computeNormals(vertices);
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

void TerrainPatch::computeBounds(int c0, int c1, int r0, int r1, vantra::BoundingBox& box) const {
  BufferLock lock(_vertexBuffer.get(), _bufferBytes, 0);
  const auto* vertices = static_cast<const TerrainVertex*>(lock.data());
  std::vector<Vector> points;
  points.reserve(static_cast<std::size_t>(c1 - c0 + 1) * (r1 - r0 + 1));
  for (int r = r0; r <= r1; ++r)
    for (int c = c0; c <= c1; ++c) points.push_back(vertices[index(r, c)].position);
  box = vantra::BoundingBox(points);
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
