// A terrain from the user's elevation model: the heights on the terrain's square grid, the
// colour map over the same ground, and the factor that exaggerates heights. Loaded once,
// before any device exists, and shared by every reset of the terrain that draws it.
#pragma once

#include <string>

#include "elevation/colour_image.h"
#include "elevation/elevation_model.h"

namespace vantra::terrain {

struct TerrainRequest {
  std::string file;
  // Vertices a side of the grid; 0 chooses from the model's size.
  int gridSide = 0;
  float exaggeration = 1.0f;
  // An RGB image over the same ground; empty: colours are generated from the heights.
  std::string textureFile;
};

class TerrainModel {
 public:
  // A file named *.bmp holds 24-bit height words (blue the low byte) like the built-in height
  // map, and is read by the program's own bitmap reader at the built-in terrain's scale: the
  // full word spans kBitmapHeightRange metres and samples lie kBitmapSpacing metres apart.
  static constexpr double kBitmapSpacing = 800.0;
  static constexpr double kBitmapHeightRange = 24240.0;

  // False with the reason in *error when the model or its texture is refused.
  bool load(const TerrainRequest& request, std::string* error);

  const elevation::ElevationModel& elevation() const { return _elevation; }
  const elevation::ColourImage& colours() const { return _colours; }
  float exaggeration() const { return _exaggeration; }
  const std::string& textureFile() const { return _textureFile; }

  // The line printed when the model has loaded.
  std::string summary() const;
  // The model's figures as one JSON object: source, driver, samples, geographic, extent_m,
  // grid, spacing_m, heights_m (filled, not exaggerated) and nodata_filled.
  std::string infoJson() const;

 private:
  bool _loadBitmap(const std::string& file, int gridSide, std::string* error);

  elevation::ElevationModel _elevation;
  elevation::ColourImage _colours;
  float _exaggeration = 1.0f;
  std::string _textureFile;
};

}  // namespace vantra::terrain
