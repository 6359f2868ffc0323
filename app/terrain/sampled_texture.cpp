#include "terrain/sampled_texture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "elevation/colour_image.h"
#include "elevation/height_grid.h"
#include "platform/d3dx9.h"

namespace vantra::terrain {

namespace {

bool IsReadableFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_R8G8B8:
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
      return true;
    default:
      return false;
  }
}

std::string FormatName(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_R5G6B5:
      return "16-bit 5-6-5";
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      return "16-bit 5-5-5";
    default:
      return "format " + std::to_string(format);
  }
}

// The fourth byte of a 32-bit texel is alpha or undefined and never height: the height is
// the 24 bits of red, green and blue, so a 32-bit map reads like the same map in 24 bits.
float HeightWord(std::uint32_t texel) { return static_cast<float>(texel & 0x00FFFFFFu); }

}  // namespace

SampledTexture::SampledTexture(IDirect3DDevice9* device, const char* fileName)
    : _fileName(fileName) {
  _device.retain(device);
  HRESULT hr = D3DXCreateTextureFromFileA(_device.get(), fileName, _texture.out());
  if (FAILED(hr)) throw hr;
  hr = _texture->GetLevelDesc(0, &_description);
  if (FAILED(hr)) throw hr;
  if (!IsReadableFormat(_description.Format)) {
    // The bitmap reader accepted the file, so only its depth is wrong for the terrain.
    std::fprintf(stderr, "%s: %s pixels cannot be sampled; the terrain needs 24 or 32 bits\n",
                 fileName, FormatName(_description.Format).c_str());
    throw E_FAIL;
  }
  _maxValue = 16777215.0f;
  _copyLevelZero();
}

SampledTexture::SampledTexture(IDirect3DDevice9* device, const elevation::ColourImage& image,
                               const std::string& name)
    : _fileName(name) {
  _device.retain(device);
  HRESULT hr = _device->CreateTexture(image.width(), image.height(), 0, 0, D3DFMT_X8R8G8B8,
                                      D3DPOOL_MANAGED, _texture.out(), nullptr);
  if (FAILED(hr)) throw hr;
  hr = _texture->GetLevelDesc(0, &_description);
  if (FAILED(hr)) throw hr;
  D3DLOCKED_RECT locked;
  hr = _texture->LockRect(0, &locked, nullptr, 0);
  if (FAILED(hr)) throw hr;
  auto* bits = static_cast<std::uint8_t*>(locked.pBits);
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(bits + static_cast<std::size_t>(y) * locked.Pitch, image.row(y),
                sizeof(std::uint32_t) * image.width());
  _texture->UnlockRect(0);
  _maxValue = 16777215.0f;
}

SampledTexture::SampledTexture(const elevation::HeightGrid& grid, float lowest, float range,
                               const std::string& name)
    : _fileName(name), _maxValue(range), _grid(&grid), _lowest(lowest) {
  _description.Width = static_cast<UINT>(grid.columns());
  _description.Height = static_cast<UINT>(grid.rows());
}

void SampledTexture::_copyLevelZero() {
  const std::size_t width = _description.Width;
  const std::size_t height = _description.Height;
  // R8G8B8 texels are three bytes: read those, so that the last texel does not reach past
  // the surface and the top byte is zero as in the X8 formats.
  const std::size_t texelBytes = _description.Format == D3DFMT_R8G8B8 ? 3 : 4;
  D3DLOCKED_RECT locked;
  const HRESULT hr = _texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) throw hr;
  _words.assign(width * height, 0u);
  const auto* bits = static_cast<const std::uint8_t*>(locked.pBits);
  for (std::size_t row = 0; row < height; ++row) {
    const std::uint8_t* source = bits + row * static_cast<std::size_t>(locked.Pitch);
    std::uint32_t* target = _words.data() + row * width;
    if (texelBytes == 4) {
      std::memcpy(target, source, width * texelBytes);
    } else {
      for (std::size_t column = 0; column < width; ++column)
        std::memcpy(target + column, source + column * texelBytes, texelBytes);
    }
  }
  _texture->UnlockRect(0);
}

std::uint32_t SampledTexture::texel(int a, int b) const {
  // A model's heights and colours are never sampled through texels, so only a texture loaded
  // from a file keeps a copy of them.
  if (_words.empty()) throw E_FAIL;
  // Bilinear filtering at u or v = 1 asks for one row or column past the edge.
  const int row = std::clamp(a, 0, static_cast<int>(_description.Height) - 1);
  const int column = std::clamp(b, 0, static_cast<int>(_description.Width) - 1);
  return _words[static_cast<std::size_t>(row) * _description.Width + column];
}

void SampledTexture::fixCoordinates(float& u, float& v) const {
  if (u >= 0.0f && u <= 1.0f && v >= 0.0f && v <= 1.0f) return;
  u = _foldCoordinate(u);
  v = _foldCoordinate(v);
}

float SampledTexture::_foldCoordinate(float c) const {
  c = std::fabs(c);
  if (c > 1.0f) {
    if (_addressMode == 1) return 1.0f;
    if (_addressMode == 0) return std::floor(c);
  }
  return c;
}

SampledTexture::AxisSample SampledTexture::_axisSample(float c, UINT texels) const {
  // A coordinate inside [0, 1] is left alone by fixCoordinates also when its partner is
  // folded: only the sign of a zero could change, and that weighs nothing.
  if (!(c >= 0.0f && c <= 1.0f)) c = _foldCoordinate(c);
  const float scaled = static_cast<float>(texels) * c;
  const int index = static_cast<int>(scaled);
  const int last = static_cast<int>(texels) - 1;
  return {std::clamp(index, 0, last), std::clamp(index + 1, 0, last),
          scaled - static_cast<float>(index)};
}

float SampledTexture::sample(float u, float v) const {
  fixCoordinates(u, v);
  // A flat model has no range: every vertex stands at its lowest height.
  if (_grid != nullptr)
    return _maxValue > 0.0f ? (_grid->sample(u, v) - _lowest) / _maxValue : 0.0f;
  // Each index is scaled by the side it runs along, so that a map that is not square still
  // stretches over the whole grid.
  const float x = static_cast<float>(_description.Height) * u;
  const int ix = static_cast<int>(x);
  const float fx = x - static_cast<float>(ix);
  const float y = static_cast<float>(_description.Width) * v;
  const int iy = static_cast<int>(y);
  const float fy = y - static_cast<float>(iy);
  float value;
  if (_bilinear == 1) {
    const float t00 = HeightWord(texel(ix, iy));
    const float t10 = HeightWord(texel(ix + 1, iy));
    const float t01 = HeightWord(texel(ix, iy + 1));
    const float t11 = HeightWord(texel(ix + 1, iy + 1));
    value = fy * (t01 * (1.0f - fx) + t11 * fx) + (1.0f - fy) * (t00 * (1.0f - fx) + t10 * fx);
  } else {
    value = HeightWord(texel(ix, iy));
  }
  return value / _maxValue;
}

void SampledTexture::sampleGrid(const float* us, int columns, const float* vs, int rows,
                                float* out) const {
  if (_grid != nullptr || _bilinear != 1) {
    for (int i = 0; i < rows; ++i)
      for (int j = 0; j < columns; ++j) *out++ = sample(us[j], vs[i]);
    return;
  }
  if (_words.empty()) throw E_FAIL;
  // u picks texel rows and v texel columns, as in sample.
  std::vector<AxisSample> alongU(static_cast<std::size_t>(columns));
  for (int j = 0; j < columns; ++j) alongU[j] = _axisSample(us[j], _description.Height);
  const std::size_t width = _description.Width;
  for (int i = 0; i < rows; ++i) {
    const AxisSample alongV = _axisSample(vs[i], _description.Width);
    const float fy = alongV.weight;
    for (int j = 0; j < columns; ++j) {
      const AxisSample& a = alongU[j];
      const std::uint32_t* first = _words.data() + a.first * width;
      const std::uint32_t* second = _words.data() + a.second * width;
      const float fx = a.weight;
      const float t00 = HeightWord(first[alongV.first]);
      const float t10 = HeightWord(second[alongV.first]);
      const float t01 = HeightWord(first[alongV.second]);
      const float t11 = HeightWord(second[alongV.second]);
      const float value =
          fy * (t01 * (1.0f - fx) + t11 * fx) + (1.0f - fy) * (t00 * (1.0f - fx) + t10 * fx);
      *out++ = value / _maxValue;
    }
  }
}

}  // namespace vantra::terrain
