#include "vantra/frustum.h"

#include <cmath>

namespace vantra {

Frustum::Frustum(float fieldOfView, float aspectRatio, float nearDistance, float farDistance)
    : _fieldOfView(fieldOfView),
      _aspectRatio(aspectRatio),
      _nearDistance(nearDistance),
      _farDistance(farDistance) {
  computeFrustumNearAndFarPoints();
  CreateFrustumPlanesBetweenNearAndFarPoints(_planes, _nearPoints, _farPoints);
  Matrix identity;
  identity.makeIdentity();
  transform(identity);
  computeFrsutumBoundingSphere();
}

void Frustum::transform(const Matrix& m) {
  for (int k = 0; k < 4; ++k) {
    _transformedNearPoints[k] = _nearPoints[k];
    _transformedNearPoints[k].transform(m);
    _transformedFarPoints[k] = _farPoints[k];
    _transformedFarPoints[k].transform(m);
  }
  CreateFrustumPlanesBetweenNearAndFarPoints(_transformedPlanes, _transformedNearPoints,
                                             _transformedFarPoints);
  // The sphere has no frustum-space copy: its current centre is mapped, so
  // only the first transform after construction yields a sphere around the
  // transformed corners.
  Vector center = _boundingSphere.center();
  center.transform(m);
  _boundingSphere.setCenterAndRadius(center, _boundingSphere.radius());
}

// The argument order of every plane makes its normal point out of the volume.
void Frustum::CreateFrustumPlanesBetweenNearAndFarPoints(Plane* planes, const Vector* nearPoints,
                                                         const Vector* farPoints) {
  const Vector* n = nearPoints;
  const Vector* f = farPoints;
  planes[0].create(n[2], n[3], n[1]);
  planes[1].create(f[2], f[1], f[3]);
  planes[2].create(n[0], f[0], n[1]);
  planes[3].create(f[2], f[3], n[2]);
  planes[4].create(n[3], f[3], n[0]);
  planes[5].create(n[2], n[1], f[2]);
}

void Frustum::computeFrustumNearAndFarPoints() {
  const float t = std::tan(_fieldOfView * 0.5f);
  const auto fill = [this, t](Vector* corners, float z) {
    const float h = t * z;
    const float w = h * _aspectRatio;
    corners[0].set(h, w, z);
    corners[1].set(h, -w, z);
    corners[2].set(-h, -w, z);
    corners[3].set(-h, w, z);
  };
  fill(_nearPoints, _nearDistance);
  fill(_farPoints, _farDistance);
}

void Frustum::computeFrsutumBoundingSphere() {
  const Vector* n = _transformedNearPoints;
  const Vector* f = _transformedFarPoints;
  const Vector nearCenter = (n[0] + n[1] + n[2] + n[3]) * 0.25f;
  const Vector farCenter = (f[0] + f[1] + f[2] + f[3]) * 0.25f;
  const Vector center = (nearCenter + farCenter) * 0.5f;
  _boundingSphere.setCenterAndRadius(center, std::sqrt((center - f[0]).magnitudeSquare()));
}

}  // namespace vantra
