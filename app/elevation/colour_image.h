// An RGB picture as 0x00RRGGBB words, row by row from the top: the terrain's colour map,
// generated from heights (hypsometric tint with hill shading) or read from a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "elevation/height_grid.h"

namespace vantra::elevation {

class ColourImage {
 public:
  // Files larger than this a side are averaged down as they are read.
  static constexpr int kLargestSide = 8192;
  // Cells that had no data.
  static constexpr std::uint32_t kNoDataGrey = 0x808080;

  ColourImage() = default;
  ColourImage(int width, int height)
      : _width(width), _height(height), _pixels(Area(width, height)) {}

  // Reads a GeoTIFF, PNG or JPEG image: three or more bands as red, green and blue, one band
  // as grey. False with the reason in *error.
  bool read(const std::string& path, std::string* error);

  // Colours each cell by its height (green lowlands to brown and grey to white peaks over the
  // model's own range, blue below 0 when the model reaches below it), darkened on steep
  // slopes and shaded by a light from the north-west; cells without data are grey.
  static ColourImage Relief(const HeightGrid& grid);

  int width() const { return _width; }
  int height() const { return _height; }
  std::uint32_t& at(int x, int y) { return _pixels[static_cast<std::size_t>(y) * _width + x]; }
  std::uint32_t at(int x, int y) const { return _pixels[static_cast<std::size_t>(y) * _width + x]; }
  const std::uint32_t* row(int y) const { return &_pixels[static_cast<std::size_t>(y) * _width]; }

 private:
  static std::size_t Area(int width, int height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  }

  int _width = 0;
  int _height = 0;
  std::vector<std::uint32_t> _pixels;
};

}  // namespace vantra::elevation
