// What the engine and the objects that look through a camera need of it.
#pragma once

#include "engine/object.h"
#include "vantra/bounding_box.h"
#include "vantra/matrix.h"

namespace vantra::engine {

// A scene object the engine can make active. The engine updates and renders every camera
// before its other objects; the active one sets the device's view.
class Camera : public Object {
 public:
  virtual void setActive(bool active) = 0;
  virtual bool isActive() const = 0;
  // Sets the device's projection transform from the camera's lens.
  virtual void setProjection() = 0;
  // The camera's pose in the world: rows are right, up and forward, then the position.
  virtual vantra::Matrix& cameraWorldMatrix() = 0;
  // OUTSIDE (1) when the box lies wholly outside one frustum plane, INSIDE (-1) when it lies
  // inside all six, INTERSECTING (0) otherwise.
  virtual int boxVisibility(const vantra::BoundingBox& box) const = 0;
};

}  // namespace vantra::engine
