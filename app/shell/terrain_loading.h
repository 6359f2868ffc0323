// Loads the user's elevation model for the desktop, the headless runs and --terrain-info,
// reporting the outcome in one line on standard error.
#pragma once

#include <memory>
#include <string>

#include "terrain/terrain_model.h"

namespace vantra::shell {

// The loaded model after printing its summary; null after printing why it was refused, which
// *message then holds ("terrain FILE: reason").
std::shared_ptr<const terrain::TerrainModel> LoadTerrain(const terrain::TerrainRequest& request,
                                                         std::string* message);

}  // namespace vantra::shell
