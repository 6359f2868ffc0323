// The terrain's generated height field: one height in [0, 1] per texel of a square height
// map, the same for the same seed on every machine. The grid centre lies on a flat valley
// floor at height 0, so that the camera's start pose stands in the landscape.
#pragma once

#include <cstdint>
#include <vector>

#include "gradient_noise.h"

class HeightField {
 public:
  // Texels along each side. The terrain's 513 vertices per side read u = gx / 512 and the
  // sampler scales u by the map's width, so a 512-wide map puts vertex gx exactly on texel
  // gx; the last vertex reads the last texel again.
  static constexpr int kSize = 512;
  // Grid column and row of the terrain's centre vertex, where the camera starts.
  static constexpr int kCentre = 256;

  explicit HeightField(std::uint32_t seed);

  // Height of texel (gx, gz): gx along the terrain's columns (x), gz along its rows.
  float at(int gx, int gz) const { return _values[gz * kSize + gx]; }

  // The height as the 24-bit word the height map stores: 2^24 - 1 is height 1.
  std::uint32_t word(int gx, int gz) const;

  // Bilinear height at fractional texel coordinates, clamped to the map.
  float sample(float gx, float gz) const;

  // Rise over run in world units at fractional texel coordinates, for a terrain whose
  // texels lie spacing apart and whose height 1 is heightRange.
  float slope(float gx, float gz, float spacing, float heightRange) const;

 private:
  float _landscape(int gx, int gz) const;

  GradientNoise _noise;
  std::vector<float> _values;
};
