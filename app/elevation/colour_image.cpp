#include "elevation/colour_image.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "elevation/gdal_raster.h"

namespace vantra::elevation {

namespace {

struct Colour {
  float r, g, b;
};

Colour Mix(const Colour& a, const Colour& b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Land from the lowest to the highest height of the model, as t runs from 0 to 1.
Colour LandTint(float t) {
  static const Colour kStops[] = {{0.28f, 0.50f, 0.25f}, {0.55f, 0.65f, 0.35f},
                                  {0.75f, 0.68f, 0.45f}, {0.58f, 0.45f, 0.32f},
                                  {0.60f, 0.58f, 0.56f}, {0.97f, 0.97f, 0.97f}};
  constexpr int kLast = static_cast<int>(std::size(kStops)) - 1;
  const float at = std::clamp(t, 0.0f, 1.0f) * kLast;
  const int i = std::min(static_cast<int>(at), kLast - 1);
  return Mix(kStops[i], kStops[i + 1], at - static_cast<float>(i));
}

// Shallow water is lighter than deep water; t runs from 0 at the shore to 1 at the deepest.
Colour WaterTint(float t) {
  return Mix({0.55f, 0.75f, 0.90f}, {0.10f, 0.25f, 0.55f}, std::clamp(t, 0.0f, 1.0f));
}

std::uint32_t Word(const Colour& c) {
  auto channel = [](float v) {
    return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
  };
  return channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

}  // namespace

bool ColourImage::read(const std::string& path, std::string* error) {
  const std::unique_ptr<GdalRaster> raster =
      GdalRaster::Open(path, {"GTiff", "PNG", "JPEG"}, error);
  if (!raster) return false;
  const double shrink = std::max(
      1.0, static_cast<double>(std::max(raster->columns(), raster->rows())) / kLargestSide);
  const int width = std::max(1, static_cast<int>(raster->columns() / shrink));
  const int height = std::max(1, static_cast<int>(raster->rows() / shrink));
  const bool grey = raster->bandCount() < 3;
  std::vector<std::uint8_t> channels(Area(width, height) * (grey ? 1 : 3));
  for (int band = 0; band < (grey ? 1 : 3); ++band)
    if (!raster->read(band + 1, width, height, GDT_Byte,
                      channels.data() + Area(width, height) * band, error))
      return false;
  *this = ColourImage(width, height);
  const std::size_t plane = grey ? 0 : Area(width, height);
  for (std::size_t i = 0; i < _pixels.size(); ++i)
    _pixels[i] = static_cast<std::uint32_t>(channels[i]) << 16 |
                 static_cast<std::uint32_t>(channels[i + plane]) << 8 | channels[i + 2 * plane];
  return true;
}

ColourImage ColourImage::Relief(const HeightGrid& grid) {
  float lowest = 0.0f;
  float highest = 0.0f;
  grid.heightRange(&lowest, &highest);
  const bool hasWater = lowest < 0.0f;
  const float landLow = hasWater ? 0.0f : lowest;
  const float landRange = std::max(highest - landLow, 1e-6f);
  const float depthRange = std::max(-lowest, 1e-6f);
  // Light from the north-west, 45 degrees up; +z is north, rows run southwards.
  const float light[3] = {-0.5f, 0.70710678f, 0.5f};

  ColourImage image(grid.columns(), grid.rows());
  for (int row = 0; row < grid.rows(); ++row) {
    const int north = std::max(row - 1, 0);
    const int south = std::min(row + 1, grid.rows() - 1);
    for (int column = 0; column < grid.columns(); ++column) {
      const float height = grid.at(column, row);
      if (grid.isNoData(column, row)) {
        image.at(column, row) = kNoDataGrey;
        continue;
      }
      const int west = std::max(column - 1, 0);
      const int east = std::min(column + 1, grid.columns() - 1);
      // Slopes along x (east) and z (north) from central differences in metres.
      const float dx = (grid.at(east, row) - grid.at(west, row)) /
                       static_cast<float>(std::max(east - west, 1) * grid.spacingX());
      const float dz = (grid.at(column, north) - grid.at(column, south)) /
                       static_cast<float>(std::max(south - north, 1) * grid.spacingZ());
      const float length = std::sqrt(dx * dx + 1.0f + dz * dz);
      const float lit = std::max(0.0f, (-dx * light[0] + light[1] - dz * light[2]) / length);
      const float steepness = 1.0f - 1.0f / length;
      Colour colour = height < 0.0f && hasWater ? WaterTint(-height / depthRange)
                                                : LandTint((height - landLow) / landRange);
      colour = Mix(colour, {0.45f, 0.42f, 0.40f}, std::min(1.0f, steepness * 1.5f));
      const float shade = 0.45f + 0.75f * lit;
      image.at(column, row) = Word({colour.r * shade, colour.g * shade, colour.b * shade});
    }
  }
  return image;
}

}  // namespace vantra::elevation
