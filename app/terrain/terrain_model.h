// A terrain from the user's elevation model: the heights on the terrain's square grid, the
// colour map over the same ground, and the factor that exaggerates heights. Loaded once,
// before any device exists, and shared by every reset of the terrain that draws it.
#pragma once

#include <string>

#include "elevation/colour_image.h"
#include "elevation/elevation_model.h"

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
  // False with the reason in *error when the model or its texture is refused.
  bool load(const TerrainRequest& request, std::string* error);

  const ElevationModel& elevation() const { return _elevation; }
  const ColourImage& colours() const { return _colours; }
  float exaggeration() const { return _exaggeration; }
  const std::string& textureFile() const { return _textureFile; }

  // The line printed when the model has loaded.
  std::string summary() const;
  // The model's figures as one JSON object: source, driver, samples, geographic, extent_m,
  // grid, spacing_m, heights_m (filled, not exaggerated) and nodata_filled.
  std::string infoJson() const;

 private:
  ElevationModel _elevation;
  ColourImage _colours;
  float _exaggeration = 1.0f;
  std::string _textureFile;
};
