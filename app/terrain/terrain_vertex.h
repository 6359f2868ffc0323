// One vertex of a terrain patch, in the layout of its flexible vertex format.
#pragma once

#include <cstddef>

#include "platform/d3d9.h"
#include "vantra/vector.h"

namespace vantra::terrain {

struct TerrainVertex {
  // Position, normal, diffuse colour, then two texture-coordinate pairs.
  static constexpr DWORD FVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2;

  vantra::Vector position;
  vantra::Vector normal;
  D3DCOLOR diffuse;
  float tu0, tv0;  // colour texture
  float tu1, tv1;  // detail texture
};

static_assert(TerrainVertex::FVF == 0x252, "position, normal, diffuse and two coordinate sets");
static_assert(sizeof(TerrainVertex) == 44, "the device reads 44-byte vertices");
static_assert(offsetof(TerrainVertex, diffuse) == 24 && offsetof(TerrainVertex, tu1) == 36,
              "fields at the offsets of the vertex format");

}  // namespace vantra::terrain
