// Writes the terrain's three bitmaps from a seed:
//   heightMap.bmp   512 x 512 heights, each pixel word (blue the low byte) a 24-bit height,
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
#include "height_field.h"
#include "shaping.h"

namespace {

constexpr int kColourSize = 1024;
constexpr int kDetailSize = 256;
// World spacing of the height map's texels and height range of the terrain that reads these
// maps, used to turn height differences into slopes.
constexpr float kSpacing = 800.0f;
constexpr float kHeightRange = 24240.0f;

struct Colour {
  float r, g, b;
};

Colour Mix(const Colour& a, const Colour& b, float t) {
  return {::Mix(a.r, b.r, t), ::Mix(a.g, b.g, t), ::Mix(a.b, b.b, t)};
}

bool WriteBitmap(const std::string& path, int width, int height,
                 const std::vector<std::uint8_t>& rgb) {
  if (stbi_write_bmp(path.c_str(), width, height, 3, rgb.data()) != 0) return true;
  std::fprintf(stderr, "make_terrain_maps: cannot write %s\n", path.c_str());
  return false;
}

std::uint8_t ToByte(float v) { return static_cast<std::uint8_t>(std::lround(Clamp01(v) * 255.0f)); }

// The terrain reads image row a, column b at grid column gx = a, row gz = b, so the height
// image is the field's transpose. Red, green and blue are the height word's high, middle and
// low bytes.
std::vector<std::uint8_t> HeightImage(const HeightField& field) {
  constexpr int kSide = HeightField::kSize;
  std::vector<std::uint8_t> rgb(kSide * kSide * 3);
  for (int row = 0; row < kSide; ++row)
    for (int column = 0; column < kSide; ++column) {
      const std::uint32_t word = field.word(row, column);
      std::uint8_t* p = &rgb[(row * kSide + column) * 3];
      p[0] = static_cast<std::uint8_t>(word >> 16);
      p[1] = static_cast<std::uint8_t>(word >> 8);
      p[2] = static_cast<std::uint8_t>(word);
    }
  return rgb;
}

std::vector<std::uint8_t> ColourImage(const HeightField& field, std::uint32_t seed) {
  const GradientNoise noise(seed ^ 0x5bd1e995u);
  // Light colours: the terrain is lit from the eye at grazing angles, which darkens them.
  const Colour meadow{0.86f, 0.96f, 0.52f};
  const Colour forest{0.62f, 0.82f, 0.40f};
  const Colour riverbed{0.94f, 0.90f, 0.72f};
  const Colour rock{0.92f, 0.86f, 0.78f};
  const Colour darkRock{0.76f, 0.71f, 0.66f};
  const Colour snow{1.0f, 1.0f, 1.0f};
  const Colour lakeBed{0.92f, 0.86f, 0.72f};
  std::vector<std::uint8_t> rgb(kColourSize * kColourSize * 3);
  // The colour texture spans the terrain once: its texel centres lie half a texel in.
  const float toGrid = float(HeightField::kSize) / float(kColourSize);
  for (int y = 0; y < kColourSize; ++y) {
    for (int x = 0; x < kColourSize; ++x) {
      const float gx = (x + 0.5f) * toGrid;
      const float gz = (y + 0.5f) * toGrid;
      const float h = field.sample(gx, gz);
      const float slope = field.slope(gx, gz, kSpacing, kHeightRange);
      const float patches = noise.fractal(gx / 24.0f, gz / 24.0f, 4);
      const float grain = noise.at(gx * 1.7f + 100.0f, gz * 1.7f);

      Colour c = Mix(meadow, forest, SmoothStep(-0.1f, 0.3f, patches));
      c = Mix(riverbed, c, SmoothStep(0.04f, 0.1f, h));
      c = Mix(lakeBed, c, SmoothStep(0.0f, 0.01f, h));
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
      WriteBitmap(out + "/heightMap.bmp", HeightField::kSize, HeightField::kSize,
                  HeightImage(field)) &&
      WriteBitmap(out + "/textureMap.bmp", kColourSize, kColourSize, ColourImage(field, seed)) &&
      WriteBitmap(out + "/detailMap.bmp", kDetailSize, kDetailSize, DetailImage(seed));
  return written ? 0 : 1;
}
