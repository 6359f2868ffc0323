#include "vantra/quat.h"

#include <cmath>

#include "numeric_rules.h"

namespace vantra {

Quat::Quat(const Vector& axis, float angle) {
  const Vector n = rules::NormalizedAxis(axis);
  const float h = angle * 0.5f;
  const float s = std::sin(h);
  x = n.x * s;
  y = n.y * s;
  z = n.z * s;
  w = std::cos(h);
}

// Without a positive trace, solve for the largest vector component first and
// divide by it, which keeps the square root away from zero.
Quat::Quat(const Matrix& m) {
  const float trace = m(0, 0) + m(1, 1) + m(2, 2);
  if (trace > 0.0f) {
    w = std::sqrt(trace + 1.0f) * 0.5f;
    x = (m(1, 2) - m(2, 1)) * 0.25f / w;
    y = (m(2, 0) - m(0, 2)) * 0.25f / w;
    z = (m(0, 1) - m(1, 0)) * 0.25f / w;
    return;
  }
  const float d[3] = {m(0, 0) - m(1, 1) - m(2, 2), m(1, 1) - m(0, 0) - m(2, 2),
                      m(2, 2) - m(0, 0) - m(1, 1)};
  int i = 0;
  if (d[0] >= d[1])
    i = d[2] > d[0] ? 2 : 0;
  else
    i = d[2] > d[1] ? 2 : 1;
  const int j = (i + 1) % 3;
  const int k = (j + 1) % 3;
  float q[3];
  q[i] = std::sqrt(d[i] + 1.0f) * 0.5f;
  q[j] = (m(i, j) + m(j, i)) * 0.25f / q[i];
  q[k] = (m(i, k) + m(k, i)) * 0.25f / q[i];
  w = (m(j, k) - m(k, j)) * 0.25f / q[i];
  x = q[0];
  y = q[1];
  z = q[2];
}

// Roll about z first, then pitch about x, then yaw about y.
Quat::Quat(float yaw, float pitch, float roll) {
  const float cy = std::cos(yaw * 0.5f), sy = std::sin(yaw * 0.5f);
  const float cp = std::cos(pitch * 0.5f), sp = std::sin(pitch * 0.5f);
  const float cr = std::cos(roll * 0.5f), sr = std::sin(roll * 0.5f);
  x = cy * sp * cr + sy * cp * sr;
  y = sy * cp * cr - cy * sp * sr;
  z = cy * cp * sr - sy * sp * cr;
  w = cy * cp * cr + sy * sp * sr;
}

// The axis is left unnormalised: its length is sin(angle / 2).
void Quat::toAxisAngle(Vector& axis, float& angle) {
  axis.set(x, y, z);
  angle = 2.0f * std::acos(w);
}

void Quat::toRotationMatrix(Matrix& m) {
  Vector axis;
  float angle = 0.0f;
  toAxisAngle(axis, angle);
  m.rotateAxis(axis, angle);
}

}  // namespace vantra
