// The scene the engine renders, made outside the engine and handed to it whole.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "engine/camera.h"
#include "engine/object.h"

namespace vantra::engine {

struct SceneObjects {
  // Updated and rendered in this order, cameras first; the first camera starts active.
  std::vector<std::unique_ptr<Camera>> cameras;
  std::vector<std::unique_ptr<Object>> objects;
  // One of objects (the terrain) that is handed the first camera once every object's reset
  // has run, through followCamera; not when its own reset threw and it left the scene.
  Object* cameraFollower = nullptr;
  std::function<void(Camera* camera)> followCamera;
};

}  // namespace vantra::engine
