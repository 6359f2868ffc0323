// The scene's camera, steered from keyboard and mouse in four modes.
#pragma once

#include <cstdint>

#include "engine/camera.h"
#include "platform/com_ref.h"
#include "vantra/basic_camera.h"
#include "vantra/bounding_box.h"
#include "vantra/matrix.h"
#include "vantra/plane.h"
#include "vantra/vector.h"

namespace vantra::engine {
class InputDevices;
}

namespace vantra::scene {

constexpr GUID kAppCameraClassId = {
    0xEACB0EE9, 0xF9E1, 0x45FC, {0x91, 0x91, 0x7B, 0xC8, 0xAC, 0xBF, 0x93, 0x94}};

// Holds a BasicCamera and steers it every frame from the engine's input in one of four
// modes (0 move, 1 turn, 2 orbit, 3 flight; F1 to F4 select, Space resets to the start
// pose in mode 3). Keeps its view frustum's corners and planes in world space for culling;
// while active it sets the device's view transform every frame.
class AppCamera : public engine::Camera {
 public:
  AppCamera();

  AppCamera(const AppCamera&) = delete;
  AppCamera& operator=(const AppCamera&) = delete;

  void hook(std::uint32_t value) override;
  const GUID* classId() const override;
  // Steers from the engine's input of this frame.
  void update() override;
  void render() override;
  void reset(engine::EngineServices* engine, IDirect3DDevice9* device) override;

  // One frame of steering from the given input state, then the world frustum is rebuilt.
  void steer(const engine::InputDevices& input);

  void setActive(bool active) override { _active = active; }
  bool isActive() const override { return _active; }
  vantra::Matrix& cameraWorldMatrix() override { return _camera.cameraWorldMatrix(); }
  // Takes effect at the next reset of the view.
  void setDefaultMoveScale(float scale) { _defaultMoveScale = scale; }
  void setProjection() override;
  void setView();
  int boxVisibility(const vantra::BoundingBox& box) const override;

  int mode() const { return _mode; }
  float moveStep() const { return _moveStep; }
  float turnStep() const { return _turnStep; }
  float flightSpeed() const { return _flightSpeed; }
  float moveScale() const { return _moveScale; }
  // Steps since the camera matrix was last re-orthonormalised, shared by all cameras.
  static std::int32_t orbitStepCount() { return _orbitSteps; }
  static std::int32_t controlRotationStepCount() { return _controlRotationSteps; }

 private:
  void resetView();
  void buildCameraFrustum();
  void updateWorldFrustum();
  void handleMouse(const engine::InputDevices& input);
  void orbitStep();
  void flightStep(const engine::InputDevices& input);

  vantra::BasicCamera _camera;
  platform::ComRef<IDirect3DDevice9> _device;
  engine::EngineServices* _engine = nullptr;
  float _fieldOfView;
  float _aspectRatio = 1.0f;
  float _nearDistance = 1.0f;
  float _farDistance = 800000.0f;
  bool _active = false;
  float _moveStep = 1.0f;
  float _moveStepIncrement = 0.05f;
  float _turnStep = 1.0f;
  float _turnStepIncrement = 1.0f;
  float _flightSpeed = 0.0f;
  float _moveScale = 1.0f;
  float _defaultMoveScale = 1.0f;
  float _flightTurnRate = 2.0f;
  std::int32_t _mode = 3;
  vantra::Vector _nearPoints[4];
  vantra::Vector _worldNearPoints[4];
  vantra::Vector _farPoints[4];
  vantra::Vector _worldFarPoints[4];
  vantra::Plane _worldPlanes[6];

  // Steps between re-orthonormalisations, counted for the whole program.
  static std::int32_t _orbitSteps;
  static std::int32_t _controlRotationSteps;
};

}  // namespace vantra::scene
