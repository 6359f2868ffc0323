#include "scene/app_camera.h"

#include <cmath>

#include "engine/engine_services.h"
#include "engine/input_devices.h"
#include "platform/d3dx9.h"
#include "platform/dinput_keys.h"
#include "vantra/intersection_codes.h"

namespace vantra::scene {

using vantra::Matrix;
using vantra::Vector;

std::int32_t AppCamera::_orbitSteps = 0;
std::int32_t AppCamera::_controlRotationSteps = 0;

namespace {

// Rotations made directly on the matrix drift from orthonormal; every 26th step repairs it.
constexpr std::int32_t kStepsBetweenRepairs = 25;

Vector Row(const Matrix& m, int row) { return Vector(m(row, 0), m(row, 1), m(row, 2)); }

bool EitherKeyDown(const engine::InputDevices& input, int a, int b) {
  return input.isKeyDown(a) || input.isKeyDown(b);
}

}  // namespace

AppCamera::AppCamera() : _fieldOfView(3.1415927f * 25.0f * (1.0f / 180.0f)) {}

void AppCamera::hook(std::uint32_t) {}

const GUID* AppCamera::classId() const { return &kAppCameraClassId; }

void AppCamera::reset(engine::EngineServices* engine, IDirect3DDevice9* device) {
  _engine = engine;
  _device.retain(device);
  resetView();
  if (_active) setProjection();
}

void AppCamera::update() { steer(*_engine->input()); }

void AppCamera::render() {
  if (_active) setView();
}

void AppCamera::resetView() {
  _mode = 3;
  _camera.resetCamera();
  _camera.moveUp(0.2f);
  _camera.cameraWorldMatrix().lookAt(Vector(0.0f, 0.0f, 1.0f));
  _moveScale = _defaultMoveScale;
  _flightSpeed = 0.0f;
  _flightTurnRate = 2.0f;
  buildCameraFrustum();
}

void AppCamera::buildCameraFrustum() {
  const float t = std::tan(_fieldOfView * 0.5f);
  const float depths[2] = {_nearDistance, _farDistance};
  Vector* corners[2] = {_nearPoints, _farPoints};
  for (int k = 0; k < 2; ++k) {
    const float z = depths[k];
    const float h = t * z;
    const float w = h * _aspectRatio;
    corners[k][0] = Vector(h, w, z);
    corners[k][1] = Vector(h, -w, z);
    corners[k][2] = Vector(-h, -w, z);
    corners[k][3] = Vector(-h, w, z);
  }
}

void AppCamera::updateWorldFrustum() {
  const Matrix m = _camera.cameraWorldMatrix();
  for (int k = 0; k < 4; ++k) {
    _worldNearPoints[k] = _nearPoints[k];
    _worldNearPoints[k].transform(m);
    _worldFarPoints[k] = _farPoints[k];
    _worldFarPoints[k].transform(m);
  }
  const Vector* n = _worldNearPoints;
  const Vector* f = _worldFarPoints;
  // Same plane order and winding as the library frustum: every normal points outwards.
  _worldPlanes[0].create(n[2], n[3], n[1]);
  _worldPlanes[1].create(f[2], f[1], f[3]);
  _worldPlanes[2].create(n[0], f[0], n[1]);
  _worldPlanes[3].create(f[2], f[3], n[2]);
  _worldPlanes[4].create(n[3], f[3], n[0]);
  _worldPlanes[5].create(n[2], n[1], f[2]);
}

int AppCamera::boxVisibility(const vantra::BoundingBox& box) const {
  bool intersecting = false;
  for (const vantra::Plane& plane : _worldPlanes) {
    const int r = box.testIntersectionWithPlane(plane, nullptr);
    if (r == vantra::IntersectionCodes::OUTSIDE) return vantra::IntersectionCodes::OUTSIDE;
    if (r == vantra::IntersectionCodes::INTERSECTING) intersecting = true;
  }
  return intersecting ? vantra::IntersectionCodes::INTERSECTING : vantra::IntersectionCodes::INSIDE;
}

// Without a device (before the first reset, or after a reset that released it) there is
// nothing to set.
void AppCamera::setProjection() {
  if (!_device) return;
  Matrix projection;
  D3DXMatrixPerspectiveFovLH(&projection, _fieldOfView, _aspectRatio, _nearDistance, _farDistance);
  _device->SetTransform(D3DTS_PROJECTION, &projection);
}

void AppCamera::setView() {
  if (!_device) return;
  Matrix view = _camera.cameraWorldMatrix();
  view.inverse();
  _device->SetTransform(D3DTS_VIEW, &view);
}

void AppCamera::steer(const engine::InputDevices& input) {
  if (input.isKeyDown(DIK_SPACE)) resetView();

  if (input.isKeyDown(DIK_ADD))
    _flightSpeed += 0.1f;
  else if (input.isKeyDown(DIK_SUBTRACT))
    _flightSpeed -= 0.1f;

  if (input.isKeyDown(DIK_MULTIPLY))
    _moveScale += 2.0f;
  else if (input.isKeyDown(DIK_DIVIDE))
    _moveScale -= 2.0f;

  const int modeKeys[4] = {DIK_F1, DIK_F2, DIK_F3, DIK_F4};
  for (int mode = 0; mode < 4; ++mode) {
    if (input.isKeyDown(modeKeys[mode])) {
      _mode = mode;
      break;
    }
  }

  if (_mode == 3) {
    flightStep(input);
    updateWorldFrustum();
    return;
  }
  if (_mode == 2) orbitStep();

  const int step = input.isKeyDown(DIK_A) ? 1 : input.isKeyDown(DIK_Z) ? -1 : 0;
  if (step != 0) {
    if (_mode == 0)
      _moveStep += step * _moveStepIncrement;
    else if (_mode == 1)
      _turnStep += step * _turnStepIncrement;
  }

  if (_mode == 0) {
    if (input.isKeyDown(DIK_UP))
      _camera.moveForward(_moveStep);
    else if (input.isKeyDown(DIK_DOWN))
      _camera.moveBackwards(_moveStep);
    else if (input.isKeyDown(DIK_LEFT))
      _camera.moveLeft(_moveStep);
    else if (input.isKeyDown(DIK_RIGHT))
      _camera.moveRight(_moveStep);
    else if (input.isKeyDown(DIK_END))
      _camera.moveDown(_moveStep);
    else if (input.isKeyDown(DIK_HOME))
      _camera.moveUp(_moveStep);
  } else if (_mode == 1) {
    // Up arrow tilts the view down, like pushing a control stick forward.
    if (input.isKeyDown(DIK_UP))
      _camera.lookDown(_turnStep);
    else if (input.isKeyDown(DIK_DOWN))
      _camera.lookUp(_turnStep);
    else if (input.isKeyDown(DIK_LEFT))
      _camera.twistLeft(_turnStep);
    else if (input.isKeyDown(DIK_RIGHT))
      _camera.twistRight(_turnStep);
    else if (input.isKeyDown(DIK_END))
      _camera.lookLeft(_turnStep);
    else if (input.isKeyDown(DIK_NEXT))
      _camera.lookRight(_turnStep);
  }

  handleMouse(input);
  updateWorldFrustum();
}

void AppCamera::handleMouse(const engine::InputDevices& input) {
  const float dx = static_cast<float>(input.mouseDeltaX());
  const float dy = static_cast<float>(input.mouseDeltaY());
  const bool leftButton = input.isMouseButtonDown(0) != 0;

  if (EitherKeyDown(input, DIK_LSHIFT, DIK_RSHIFT) && leftButton) {
    _camera.moveForward(dy * _moveScale * _moveStep + 0.0851f);
  } else if (EitherKeyDown(input, DIK_LCONTROL, DIK_RCONTROL) && leftButton) {
    // Turn about the camera's own axes: the rotation goes on the left of the matrix.
    Matrix& w = _camera.cameraWorldMatrix();
    Matrix r;
    r.rotateAxis(Row(w, 1), vantra::degreesToRadians(dx * 0.1f));
    w = r * w;
    r.rotateAxis(Row(w, 0), vantra::degreesToRadians(dy * 0.1f));
    w = r * w;
    if (++_controlRotationSteps > kStepsBetweenRepairs) {
      _controlRotationSteps = 0;
      w.orthogoNormalize();
    }
  } else if (leftButton) {
    // On the right of the matrix the rotation turns the axes and the position together
    // about axes through the world origin.
    Matrix& w = _camera.cameraWorldMatrix();
    Matrix r;
    r.rotateY(vantra::degreesToRadians(dx * 0.5f));
    w *= r;
    r.rotateAxis(Row(w, 0), vantra::degreesToRadians(dy * 0.5f));
    w *= r;
  } else if (input.isMouseButtonDown(1)) {
    _camera.moveRight(dx * _moveScale * 0.5f);
    _camera.moveUp(dy * _moveScale * 0.51f);
  }
}

void AppCamera::orbitStep() {
  Matrix& w = _camera.cameraWorldMatrix();
  Matrix r;
  r.rotateY(vantra::degreesToRadians(_turnStep));
  w *= r;
  if (++_orbitSteps > kStepsBetweenRepairs) {
    _orbitSteps = 0;
    w.orthogoNormalize();
  }
}

void AppCamera::flightStep(const engine::InputDevices& input) {
  const float turn = _flightTurnRate * _flightSpeed * 4.0f;
  if (EitherKeyDown(input, DIK_UP, DIK_DOWN)) {
    const float sign = input.isKeyDown(DIK_DOWN) ? -1.0f : 1.0f;
    Matrix& w = _camera.cameraWorldMatrix();
    Matrix r;
    r.rotateAxis(Row(w, 0), vantra::degreesToRadians(_flightTurnRate) * _flightSpeed * sign * 4.0f);
    w = r * w;
  } else if (input.isKeyDown(DIK_LEFT)) {
    _camera.twistLeft(turn);
  } else if (input.isKeyDown(DIK_RIGHT)) {
    _camera.twistRight(turn);
  } else if (input.isKeyDown(DIK_NUMPAD0)) {
    _camera.lookLeft(turn);
  } else if (input.isKeyDown(DIK_DECIMAL)) {
    _camera.lookRight(turn);
  }
  _camera.moveForward(_moveScale * _flightSpeed);
}

}  // namespace vantra::scene
