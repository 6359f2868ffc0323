#include "shell/terrain_loading.h"

#include <cstdio>

namespace vantra::shell {

std::shared_ptr<const terrain::TerrainModel> LoadTerrain(const terrain::TerrainRequest& request,
                                                         std::string* message) {
  auto model = std::make_shared<terrain::TerrainModel>();
  std::string reason;
  if (!model->load(request, &reason)) {
    *message = "terrain " + request.file + ": " + reason;
    std::fprintf(stderr, "VantraTest: %s\n", message->c_str());
    return nullptr;
  }
  std::fprintf(stderr, "VantraTest: terrain %s\n", model->summary().c_str());
  return model;
}

}  // namespace vantra::shell
