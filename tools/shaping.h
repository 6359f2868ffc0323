// Small shaping functions shared by the map generator's pieces.
#pragma once

#include <algorithm>

inline float Clamp01(float x) { return std::min(1.0f, std::max(0.0f, x)); }

// 0 below edge0, 1 above edge1, a smooth S-curve between.
inline float SmoothStep(float edge0, float edge1, float x) {
  const float t = Clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3.0f - 2.0f * t);
}

inline float Mix(float a, float b, float t) { return a + (b - a) * t; }
