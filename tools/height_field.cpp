#include "height_field.h"

#include <algorithm>
#include <cmath>

#include "shaping.h"

namespace {

// The valley floor around the centre is flat out to this many texels (4.8 km at 800-unit
// spacing) and rises into the surrounding land until the rim, 14 km out.
constexpr float kFloorRadius = 6.0f;
constexpr float kRimRadius = 18.0f;
// Ahead of the start pose the valley runs this many times longer than it is wide.
constexpr float kValleyStretch = 1.5f;
// Seen from the start pose, the land rises at most this far above the horizon, as a height
// gained per texel of distance on a terrain of 800-unit spacing and 24240-unit height range:
// 24 degrees around, 0.7 degrees in a pass straight ahead, so that the sky shows in the top
// rows of the start view, which looks 11 degrees down. The land is scaled down to stay under
// that line, so that its relief keeps its shape.
constexpr float kRisePerTexel = 0.0150f;
constexpr float kPassRisePerTexel = 0.0004f;
// Half the width of the pass, in degrees seen from the start pose; it widens to this many
// degrees where the land regains its full rise.
constexpr float kPassBearing = 2.5f;
constexpr float kPassOpening = 12.0f;
// Height of the foothills' crests: 1.9 km.
constexpr float kFoothillHeight = 0.08f;
constexpr float kDegreesPerRadian = 57.29578f;

}  // namespace

HeightField::HeightField(std::uint32_t seed) : _noise(seed), _values(kSize * kSize) {
  for (int gz = 0; gz < kSize; ++gz)
    for (int gx = 0; gx < kSize; ++gx) _values[gz * kSize + gx] = _landscape(gx, gz);

  const auto [lo, hi] = std::minmax_element(_values.begin(), _values.end());
  const float low = *lo;
  const float range = *hi - *lo;
  for (int gz = 0; gz < kSize; ++gz)
    for (int gx = 0; gx < kSize; ++gx) {
      float& v = _values[gz * kSize + gx];
      // The valley runs ahead of the start pose (toward the first rows, +z in the world)
      // between hills whose faces rise within a few kilometres, to a low pass where the sky
      // shows above the land.
      const float ahead = std::max(0.0f, float(kCentre - gz));
      const float behind = std::max(0.0f, float(gz - kCentre));
      const float across = float(gx - kCentre);
      const float distance = std::hypot(across, ahead / kValleyStretch + behind);
      const float bearing = std::fabs(std::atan2(across, ahead)) * kDegreesPerRadian;
      const float pass =
          ahead > 0.0f ? 1.0f - SmoothStep(kPassBearing, kPassOpening, bearing) : 0.0f;
      const float rise =
          Mix(kRisePerTexel, kPassRisePerTexel, pass) * std::hypot(across, ahead + behind);
      const float rim = SmoothStep(kFloorRadius, kRimRadius, distance);
      // Foothills a few kilometres across rise from the valley's sides, leaving the pass
      // itself open.
      const float foothills = kFoothillHeight *
                              _noise.ridged(gx / 9.0f + 71.0f, gz / 9.0f - 13.0f, 4) *
                              SmoothStep(kPassBearing, 2.0f * kPassBearing, bearing);
      v = ((0.02f + 0.96f * (v - low) / range) * std::min(1.0f, rise) + foothills) * rim;
    }
}

std::uint32_t HeightField::word(int gx, int gz) const {
  return static_cast<std::uint32_t>(std::lround(Clamp01(at(gx, gz)) * 16777215.0f));
}

float HeightField::sample(float gx, float gz) const {
  gx = std::min(std::max(gx, 0.0f), float(kSize - 1));
  gz = std::min(std::max(gz, 0.0f), float(kSize - 1));
  const int x0 = std::min(static_cast<int>(gx), kSize - 2);
  const int z0 = std::min(static_cast<int>(gz), kSize - 2);
  const float fx = gx - x0;
  const float fz = gz - z0;
  return Mix(Mix(at(x0, z0), at(x0 + 1, z0), fx), Mix(at(x0, z0 + 1), at(x0 + 1, z0 + 1), fx), fz);
}

float HeightField::slope(float gx, float gz, float spacing, float heightRange) const {
  const float dx = sample(gx + 0.5f, gz) - sample(gx - 0.5f, gz);
  const float dz = sample(gx, gz + 0.5f) - sample(gx, gz - 0.5f);
  return std::sqrt(dx * dx + dz * dz) * heightRange / spacing;
}

// Large plains and uplands, ridged mountain ranges, river valleys cut through both, and a
// region of stepped mesas with cliffs: features from the whole map down to a few texels.
float HeightField::_landscape(int gx, int gz) const {
  const float x = gx / float(kSize);
  const float z = gz / float(kSize);
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

  // Mesas: steep risers between gently sloping treads in one part of the map. The treads
  // keep a slope so that no two neighbouring heights are the same.
  const float mesaMask =
      SmoothStep(0.2f, 0.4f, _noise.fractal(1.1f * x + 61.0f, 1.1f * z - 23.0f, 3));
  const float steps = 6.0f * 1.6f;
  const float t = h * steps;
  const float tread = t - std::floor(t);
  const float terraced =
      (std::floor(t) + 0.25f * tread + 0.75f * SmoothStep(0.6f, 0.85f, tread)) / steps;
  h = Mix(h, terraced, mesaMask * (1.0f - mountainous));

  // Rivers: narrow valleys where a warped noise crosses zero, cut into the land around.
  const float river = std::fabs(_noise.fractal(1.6f * wx + 90.0f, 1.6f * wz + 45.0f, 4));
  const float banks = SmoothStep(0.0f, 0.05f, river);
  return Mix(0.6f * h, h, banks);
}
