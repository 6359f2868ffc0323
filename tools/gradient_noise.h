// Seeded two-dimensional gradient noise: smooth values in about [-1, 1] with features one
// unit apart, the same for the same seed on every machine.
#pragma once

#include <array>
#include <cstdint>

class GradientNoise {
 public:
  explicit GradientNoise(std::uint32_t seed);

  // Noise at (x, y); zero at every integer lattice point.
  float at(float x, float y) const;

  // Sum of `octaves` layers, each at twice the frequency and `gain` times the amplitude of
  // the one before, scaled so that the sum stays in about [-1, 1].
  float fractal(float x, float y, int octaves, float gain = 0.5f) const;

  // Sharp crests where the noise crosses zero: values in [0, 1], 1 on a ridge line. Each
  // octave is weighted by the one before, so fine ridges grow on the big ones.
  float ridged(float x, float y, int octaves) const;

 private:
  float _gradient(int ix, int iy, float dx, float dy) const;

  std::array<std::uint8_t, 512> _permutation;
};
