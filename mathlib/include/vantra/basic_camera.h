#pragma once

#include "vantra/export.h"
#include "vantra/matrix.h"
#include "vantra/vector.h"

namespace vantra {

// Orientation kept as heading, pitch and roll in degrees; the rotation rows of
// the world matrix are rebuilt from them on the first access after a turn.
// Row 0 is the right axis, row 1 up, row 2 forward, row 3 the position.
class VANTRA_API BasicCamera {
 public:
  BasicCamera();
  BasicCamera(const BasicCamera&) = default;
  BasicCamera& operator=(const BasicCamera&) = default;

  virtual void resetCamera();
  // Turns only record the angle; the matrix is rebuilt lazily.
  virtual void lookRight(float degrees);
  virtual void lookLeft(float degrees);
  virtual void lookUp(float degrees);
  virtual void lookDown(float degrees);
  virtual void twistRight(float degrees);
  virtual void twistLeft(float degrees);

  // Callers may edit the matrix through this reference; rotation edits last
  // until the next turn, position edits survive it.
  Matrix& cameraWorldMatrix();

  void moveRight(float distance);
  void moveLeft(float distance);
  void moveUp(float distance);
  void moveDown(float distance);
  void moveForward(float distance);
  void moveBackwards(float distance);
  // direction is used as given, not normalised.
  void moveAlong(const Vector& direction, float distance);

 private:
  void _recomputeCameraMatrix();

  float _roll;
  float _pitch;
  float _heading;
  bool _dirty;
  Matrix _cameraMatrix;
};

}  // namespace vantra
