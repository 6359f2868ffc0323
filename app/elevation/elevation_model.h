// An elevation model from a file (GeoTIFF, SRTM tile, ASCII grid, 16-bit PNG) on the square
// grid the terrain draws: heights in metres, no-data cells filled, true ground spacings.
#pragma once

#include <string>

#include "elevation/height_grid.h"

namespace vantra::elevation {

// What the file says about itself, as the program reports it.
struct ElevationFacts {
  std::string source;
  std::string driver;
  int columns = 0;
  int rows = 0;
  // False when the file holds no geotransform: the samples are then kDefaultSpacing apart.
  bool georeferenced = false;
  // The coordinates are degrees, converted to metres at the model's centre latitude.
  bool geographic = false;
  // Metres between neighbouring samples of the file, and the ground the samples cover.
  double sampleSpacingX = 0.0;
  double sampleSpacingZ = 0.0;
  double extentX = 0.0;
  double extentZ = 0.0;
};

class ElevationModel {
 public:
  // The terrain's grids are 2^k + 1 vertices a side, from kSmallestGrid to kLargestGrid.
  static constexpr int kSmallestGrid = 129;
  static constexpr int kLargestGrid = 4097;
  // Metres between the samples of a file without georeferencing.
  static constexpr double kDefaultSpacing = 30.0;

  // The grid a model of columns x rows samples gets: the smallest allowed side that is at
  // least the larger of the two.
  static int GridSideFor(int columns, int rows);
  static bool IsGridSide(int side);

  // Reads the file onto a grid of gridSide vertices a side (0: GridSideFor the file). False
  // with the reason in *error for a file that is refused, unreadable or holds no height.
  bool load(const std::string& path, int gridSide, std::string* error);
  // Takes heights read by another reader: fills the cells marked as no data and puts the
  // samples on a grid of gridSide vertices a side (0: GridSideFor their size). False with the
  // reason in *error when no sample holds a height.
  bool adopt(const ElevationFacts& facts, HeightGrid samples, int gridSide, std::string* error);

  const ElevationFacts& facts() const { return _facts; }
  const HeightGrid& grid() const { return _grid; }
  // Samples read without a height (no-data value, NaN, voids), all filled.
  long noDataFilled() const { return _noDataFilled; }
  float lowest() const { return _lowest; }
  float highest() const { return _highest; }

 private:
  ElevationFacts _facts;
  HeightGrid _grid;
  long _noDataFilled = 0;
  float _lowest = 0.0f;
  float _highest = 0.0f;
};

}  // namespace vantra::elevation
