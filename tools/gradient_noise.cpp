#include "gradient_noise.h"

#include <cmath>
#include <random>

namespace {

float Fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

float Lerp(float a, float b, float t) { return a + (b - a) * t; }

}  // namespace

GradientNoise::GradientNoise(std::uint32_t seed) {
  for (int i = 0; i < 256; ++i) _permutation[i] = static_cast<std::uint8_t>(i);
  // The engine's raw output is fixed by the standard; the library's distributions are not,
  // so the shuffle draws its own indices to stay the same everywhere.
  std::mt19937 random(seed);
  for (int i = 255; i > 0; --i) {
    const int j = static_cast<int>(random() % static_cast<std::uint32_t>(i + 1));
    std::swap(_permutation[i], _permutation[j]);
  }
  for (int i = 0; i < 256; ++i) _permutation[256 + i] = _permutation[i];
}

float GradientNoise::_gradient(int ix, int iy, float dx, float dy) const {
  const int hash = _permutation[_permutation[ix & 255] + (iy & 255)] & 7;
  // Eight directions: the axes and the diagonals.
  static const float kGradients[8][2] = {{1, 0},
                                         {-1, 0},
                                         {0, 1},
                                         {0, -1},
                                         {0.7071f, 0.7071f},
                                         {-0.7071f, 0.7071f},
                                         {0.7071f, -0.7071f},
                                         {-0.7071f, -0.7071f}};
  return kGradients[hash][0] * dx + kGradients[hash][1] * dy;
}

float GradientNoise::at(float x, float y) const {
  const float fx = std::floor(x);
  const float fy = std::floor(y);
  const int ix = static_cast<int>(fx);
  const int iy = static_cast<int>(fy);
  const float dx = x - fx;
  const float dy = y - fy;
  const float n00 = _gradient(ix, iy, dx, dy);
  const float n10 = _gradient(ix + 1, iy, dx - 1.0f, dy);
  const float n01 = _gradient(ix, iy + 1, dx, dy - 1.0f);
  const float n11 = _gradient(ix + 1, iy + 1, dx - 1.0f, dy - 1.0f);
  const float u = Fade(dx);
  const float v = Fade(dy);
  // Two-dimensional gradient noise peaks near 0.7; stretch it to about [-1, 1].
  return 1.4f * Lerp(Lerp(n00, n10, u), Lerp(n01, n11, u), v);
}

float GradientNoise::fractal(float x, float y, int octaves, float gain) const {
  float sum = 0.0f;
  float amplitude = 1.0f;
  float total = 0.0f;
  for (int i = 0; i < octaves; ++i) {
    sum += amplitude * at(x, y);
    total += amplitude;
    amplitude *= gain;
    // Rotate each octave a little so that the lattice directions do not line up.
    const float nx = 1.6f * x - 1.2f * y + 17.3f;
    const float ny = 1.2f * x + 1.6f * y - 5.9f;
    x = nx;
    y = ny;
  }
  return sum / total;
}

float GradientNoise::ridged(float x, float y, int octaves) const {
  float sum = 0.0f;
  float amplitude = 1.0f;
  float total = 0.0f;
  float weight = 1.0f;
  for (int i = 0; i < octaves; ++i) {
    float crest = 1.0f - std::fabs(at(x, y));
    crest *= crest;
    sum += amplitude * crest * weight;
    total += amplitude;
    weight = std::fmin(1.0f, crest * 1.5f);
    amplitude *= 0.5f;
    const float nx = 1.6f * x - 1.2f * y + 31.7f;
    const float ny = 1.2f * x + 1.6f * y + 8.3f;
    x = nx;
    y = ny;
  }
  return sum / total;
}
