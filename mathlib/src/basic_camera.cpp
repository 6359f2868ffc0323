#include "vantra/basic_camera.h"

namespace vantra {

BasicCamera::BasicCamera() { BasicCamera::resetCamera(); }

void BasicCamera::resetCamera() {
  _cameraMatrix.makeIdentity();
  _roll = _pitch = _heading = 0.0f;
  _dirty = false;
}

void BasicCamera::lookRight(float degrees) {
  _heading += degrees;
  _dirty = true;
}

void BasicCamera::lookLeft(float degrees) {
  _heading -= degrees;
  _dirty = true;
}

// A positive pitch tilts the forward axis down, so looking up lowers it.
void BasicCamera::lookUp(float degrees) {
  _pitch -= degrees;
  _dirty = true;
}

void BasicCamera::lookDown(float degrees) {
  _pitch += degrees;
  _dirty = true;
}

void BasicCamera::twistRight(float degrees) {
  _roll -= degrees;
  _dirty = true;
}

void BasicCamera::twistLeft(float degrees) {
  _roll += degrees;
  _dirty = true;
}

Matrix& BasicCamera::cameraWorldMatrix() {
  if (_dirty) {
    _recomputeCameraMatrix();
    _dirty = false;
  }
  return _cameraMatrix;
}

namespace {

// The position (row 3) moves by distance times one of the axis rows.
void MoveAlongRow(Matrix& m, int row, float distance) {
  m(3, 0) += distance * m(row, 0);
  m(3, 1) += distance * m(row, 1);
  m(3, 2) += distance * m(row, 2);
}

void MoveAgainstRow(Matrix& m, int row, float distance) {
  m(3, 0) -= distance * m(row, 0);
  m(3, 1) -= distance * m(row, 1);
  m(3, 2) -= distance * m(row, 2);
}

}  // namespace

void BasicCamera::moveRight(float distance) { MoveAlongRow(cameraWorldMatrix(), 0, distance); }

void BasicCamera::moveLeft(float distance) { MoveAgainstRow(cameraWorldMatrix(), 0, distance); }

void BasicCamera::moveUp(float distance) { MoveAlongRow(cameraWorldMatrix(), 1, distance); }

void BasicCamera::moveDown(float distance) { MoveAgainstRow(cameraWorldMatrix(), 1, distance); }

void BasicCamera::moveForward(float distance) { MoveAlongRow(cameraWorldMatrix(), 2, distance); }

void BasicCamera::moveBackwards(float distance) {
  MoveAgainstRow(cameraWorldMatrix(), 2, distance);
}

void BasicCamera::moveAlong(const Vector& direction, float distance) {
  Matrix& m = cameraWorldMatrix();
  m(3, 0) += distance * direction.x;
  m(3, 1) += distance * direction.y;
  m(3, 2) += distance * direction.z;
}

// Rebuilds the rotation from the stored angles; the position row survives.
void BasicCamera::_recomputeCameraMatrix() {
  const float px = _cameraMatrix(3, 0), py = _cameraMatrix(3, 1), pz = _cameraMatrix(3, 2);
  _cameraMatrix.rotateHPR(degreesToRadians(_heading), degreesToRadians(_pitch),
                          degreesToRadians(_roll));
  _cameraMatrix(3, 0) = px;
  _cameraMatrix(3, 1) = py;
  _cameraMatrix(3, 2) = pz;
}

}  // namespace vantra
