// Writes the terrain's three bitmaps from a seed:
//   heightMap.bmp   513 x 513 grey heights,
//   textureMap.bmp  1024 x 1024 colours that follow the heights and slopes,
//   detailMap.bmp   256 x 256 fine grey pattern averaging mid-grey.
// Usage: make_terrain_maps [--seed N] [--out DIR]
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "gradient_noise.h"

namespace {

constexpr int kGrid = 513;
constexpr int kColourSize = 1024;
constexpr int kDetailSize = 256;
// World spacing of grid points and height range of the terrain that reads these maps,
// used to turn height differences into slopes.
constexpr float kSpacing = 800.0f;
constexpr float kHeightRange = 24240.0f;

float Clamp01(float x) { return std::min(1.0f, std::max(0.0f, x)); }

float SmoothStep(float edge0, float edge1, float x) {
  const float t = Clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3.0f - 2.0f * t);
}

float Mix(float a, float b, float t) { return a + (b - a) * t; }

struct Colour {
  float r, g, b;
};

Colour Mix(const Colour& a, const Colour& b, float t) {
  return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)};
}

// Heights in [0, 1] indexed [gz * kGrid + gx]: gx runs along the terrain's columns (x),
// gz along its rows.
class HeightField {
 public:
  explicit HeightField(std::uint32_t seed) : _noise(seed), _values(kGrid * kGrid) {
    for (int gz = 0; gz < kGrid; ++gz)
      for (int gx = 0; gx < kGrid; ++gx) _values[gz * kGrid + gx] = _raw(gx, gz);
    _normalise();
  }

  float at(int gx, int gz) const { return _values[gz * kGrid + gx]; }

  // Bilinear height at fractional grid coordinates, clamped to the grid.
  float sample(float gx, float gz) const {
    gx = std::min(std::max(gx, 0.0f), float(kGrid - 1));
    gz = std::min(std::max(gz, 0.0f), float(kGrid - 1));
    const int x0 = std::min(static_cast<int>(gx), kGrid - 2);
    const int z0 = std::min(static_cast<int>(gz), kGrid - 2);
    const float fx = gx - x0;
    const float fz = gz - z0;
    return Mix(Mix(at(x0, z0), at(x0 + 1, z0), fx), Mix(at(x0, z0 + 1), at(x0 + 1, z0 + 1), fx),
               fz);
  }

  // Rise over run in world units at fractional grid coordinates.
  float slope(float gx, float gz) const {
    const float dx = sample(gx + 0.5f, gz) - sample(gx - 0.5f, gz);
    const float dz = sample(gx, gz + 0.5f) - sample(gx, gz - 0.5f);
    return std::sqrt(dx * dx + dz * dz) * kHeightRange / kSpacing;
  }

 private:
  // Large plains and uplands, ridged mountain ranges, river valleys cut through both, and a
  // region of terraced mesas with cliffs: features from the whole map down to a few cells.
  float _raw(int gx, int gz) const {
    const float x = gx / float(kGrid - 1);
    const float z = gz / float(kGrid - 1);
    // Warp the coordinates so that ranges and valleys bend instead of following the lattice.
    const float wx = x + 0.12f * _noise.fractal(2.0f * x + 3.1f, 2.0f * z + 7.7f, 3);
    const float wz = z + 0.12f * _noise.fractal(2.0f * x - 5.3f, 2.0f * z + 1.9f, 3);

    const float continent = _noise.fractal(1.3f * wx + 11.0f, 1.3f * wz - 4.0f, 4);
    const float mountainous = SmoothStep(-0.2f, 0.15f, continent);

    const float plains = 0.08f + 0.02f * _noise.fractal(6.0f * x, 6.0f * z, 3);
    const float hills = 0.5f + 0.5f * _noise.fractal(7.0f * wx + 40.0f, 7.0f * wz, 5, 0.55f);
    const float ranges = _noise.ridged(2.4f * wx - 20.0f, 2.4f * wz + 13.0f, 8);

    const float uplands = 0.14f + 0.2f * hills;
    float h = Mix(plains, uplands, SmoothStep(-0.5f, -0.15f, continent));
    h = Mix(h, 0.05f + 1.2f * std::pow(ranges, 1.3f) + 0.06f * hills, mountainous);

    // Mesas: terraces with steep risers in one part of the map.
    const float mesaMask =
        SmoothStep(0.2f, 0.4f, _noise.fractal(1.1f * x + 61.0f, 1.1f * z - 23.0f, 3));
    const float steps = 6.0f;
    const float t = h * steps * 1.6f;
    const float terraced =
        (std::floor(t) + SmoothStep(0.6f, 0.85f, t - std::floor(t))) / (steps * 1.6f);
    h = Mix(h, terraced, mesaMask * (1.0f - mountainous));

    // Rivers: narrow valleys where a warped noise crosses zero, cut into the land around.
    const float river = std::fabs(_noise.fractal(1.6f * wx + 90.0f, 1.6f * wz + 45.0f, 4));
    const float banks = SmoothStep(0.0f, 0.05f, river);
    h = Mix(0.6f * h, h, banks);
    return h;
  }

  void _normalise() {
    const auto [lo, hi] = std::minmax_element(_values.begin(), _values.end());
    const float low = *lo;
    const float range = *hi - *lo;
    for (float& v : _values) v = 0.02f + 0.96f * (v - low) / range;
  }

  GradientNoise _noise;
  std::vector<float> _values;
};

bool WriteBitmap(const std::string& path, int width, int height,
                 const std::vector<std::uint8_t>& rgb) {
  if (stbi_write_bmp(path.c_str(), width, height, 3, rgb.data()) != 0) return true;
  std::fprintf(stderr, "make_terrain_maps: cannot write %s\n", path.c_str());
  return false;
}

std::uint8_t ToByte(float v) { return static_cast<std::uint8_t>(std::lround(Clamp01(v) * 255.0f)); }

// The terrain reads image row a, column b at grid column gx = a, row gz = b, so the height
// image is the field's transpose; the colour texture is addressed the usual way round.
std::vector<std::uint8_t> HeightImage(const HeightField& field) {
  std::vector<std::uint8_t> rgb(kGrid * kGrid * 3);
  for (int row = 0; row < kGrid; ++row)
    for (int column = 0; column < kGrid; ++column) {
      const std::uint8_t k = ToByte(field.at(row, column));
      std::memset(&rgb[(row * kGrid + column) * 3], k, 3);
    }
  return rgb;
}

std::vector<std::uint8_t> ColourImage(const HeightField& field, std::uint32_t seed) {
  const GradientNoise noise(seed ^ 0x5bd1e995u);
  const Colour meadow{0.42f, 0.55f, 0.24f};
  const Colour forest{0.22f, 0.38f, 0.17f};
  const Colour riverbed{0.62f, 0.58f, 0.44f};
  const Colour rock{0.52f, 0.47f, 0.42f};
  const Colour darkRock{0.36f, 0.33f, 0.31f};
  const Colour snow{0.96f, 0.96f, 0.98f};
  std::vector<std::uint8_t> rgb(kColourSize * kColourSize * 3);
  const float toGrid = float(kGrid - 1) / float(kColourSize - 1);
  for (int y = 0; y < kColourSize; ++y) {
    for (int x = 0; x < kColourSize; ++x) {
      const float gx = x * toGrid;
      const float gz = y * toGrid;
      const float h = field.sample(gx, gz);
      const float slope = field.slope(gx, gz);
      const float patches = noise.fractal(gx / 24.0f, gz / 24.0f, 4);
      const float grain = noise.at(gx * 1.7f + 100.0f, gz * 1.7f);

      Colour c = Mix(meadow, forest, SmoothStep(-0.1f, 0.3f, patches));
      c = Mix(riverbed, c, SmoothStep(0.04f, 0.1f, h));
      c = Mix(c, Mix(rock, darkRock, 0.5f + 0.5f * grain), SmoothStep(0.3f, 0.7f, slope));
      const float snowLine = 0.72f + 0.06f * patches;
      c = Mix(c, snow,
              SmoothStep(snowLine, snowLine + 0.05f, h) * (1.0f - SmoothStep(0.8f, 1.3f, slope)));
      const float shade = 1.0f + 0.08f * grain;
      std::uint8_t* p = &rgb[(y * kColourSize + x) * 3];
      p[0] = ToByte(c.r * shade);
      p[1] = ToByte(c.g * shade);
      p[2] = ToByte(c.b * shade);
    }
  }
  return rgb;
}

// Fine grain around mid-grey: the detail stage doubles it, so an average of 128 keeps the
// terrain's brightness.
std::vector<std::uint8_t> DetailImage(std::uint32_t seed) {
  const GradientNoise noise(seed ^ 0x9e3779b9u);
  std::vector<float> values(kDetailSize * kDetailSize);
  double sum = 0.0;
  for (int y = 0; y < kDetailSize; ++y)
    for (int x = 0; x < kDetailSize; ++x) {
      const float v = 0.6f * noise.fractal(x / 16.0f, y / 16.0f, 4) +
                      0.4f * noise.at(x / 2.5f + 300.0f, y / 2.5f - 70.0f);
      values[y * kDetailSize + x] = v;
      sum += v;
    }
  const float mean = static_cast<float>(sum / values.size());
  std::vector<std::uint8_t> rgb(values.size() * 3);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const float k = 128.0f + 70.0f * (values[i] - mean);
    std::memset(&rgb[i * 3], static_cast<std::uint8_t>(std::lround(std::clamp(k, 0.0f, 255.0f))),
                3);
  }
  return rgb;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t seed = 20240;
  std::string out = ".";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      out = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--seed N] [--out DIR]\n", argv[0]);
      return 2;
    }
  }
  const HeightField field(seed);
  const bool written =
      WriteBitmap(out + "/heightMap.bmp", kGrid, kGrid, HeightImage(field)) &&
      WriteBitmap(out + "/textureMap.bmp", kColourSize, kColourSize, ColourImage(field, seed)) &&
      WriteBitmap(out + "/detailMap.bmp", kDetailSize, kDetailSize, DetailImage(seed));
  return written ? 0 : 1;
}
