#include "shell/standard_scene.h"

#include "scene/app_camera.h"
#include "scene/test_light.h"
#include "scene/test_light2.h"
#include "terrain/terrain.h"
#include "terrain/terrain_quadtree.h"

namespace vantra::shell {

engine::SceneObjects MakeStandardScene(terrain::Terrain** terrain, float pixelErrorTolerance,
                                       std::shared_ptr<const terrain::TerrainModel> model) {
  engine::SceneObjects scene;
  auto camera = std::make_unique<scene::AppCamera>();
  scene::AppCamera& firstCamera = *camera;
  scene.cameras.push_back(std::move(camera));
  scene.objects.push_back(std::make_unique<scene::TestLight>());
  scene.objects.push_back(std::make_unique<scene::TestLight2>());
  if (model && pixelErrorTolerance < 0.0f)
    pixelErrorTolerance = terrain::TerrainQuadtree::kDefaultPixelTolerance;
  auto madeTerrain = model ? std::make_unique<terrain::Terrain>(std::move(model))
                           : std::make_unique<terrain::Terrain>(513, 513, 800.0f, 24240.0f, 800.0f);
  if (pixelErrorTolerance >= 0.0f) madeTerrain->setPixelErrorTolerance(pixelErrorTolerance);
  terrain::Terrain* follower = madeTerrain.get();
  scene.objects.push_back(std::move(madeTerrain));
  // The camera's steps scale with the ground between the terrain's vertices.
  firstCamera.setDefaultMoveScale(follower->scale().x);

  scene.cameraFollower = follower;
  scene.followCamera = [follower](engine::Camera* followed) { follower->setCamera(followed); };
  if (terrain != nullptr) *terrain = follower;
  return scene;
}

}  // namespace vantra::shell
