// The composition root: the program's scene, made here so that the engine, the scene
// objects and the terrain need not know one another.
#pragma once

#include <memory>

#include "engine/scene_objects.h"

namespace vantra::terrain {
class Terrain;
class TerrainModel;
}  // namespace vantra::terrain

namespace vantra::shell {

// Makes the camera, TestLight, TestLight2 and the terrain, in this order; the terrain follows
// the camera once it has come through its reset. When terrain is given it receives the
// terrain, which the engine will own. A pixelErrorTolerance of 0 or more makes the terrain
// pick its levels by projected error within that many pixels instead of by distance. With a
// model the terrain is the user's elevation model instead of the built-in one, and picks its
// levels by projected error (within TerrainQuadtree::kDefaultPixelTolerance unless told
// otherwise).
engine::SceneObjects MakeStandardScene(
    terrain::Terrain** terrain = nullptr, float pixelErrorTolerance = -1.0f,
    std::shared_ptr<const terrain::TerrainModel> model = nullptr);

}  // namespace vantra::shell
