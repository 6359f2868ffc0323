#pragma once

#include "vantra/bounding_sphere.h"
#include "vantra/export.h"
#include "vantra/matrix.h"
#include "vantra/plane.h"
#include "vantra/vector.h"

namespace vantra {

// Symmetric view volume in frustum space (eye at the origin looking along +Z,
// +X right, +Y up) and a transformed copy of its corners and planes. Every
// plane's normal points out of the volume.
class VANTRA_API Frustum {
 public:
  // fieldOfView is the full angle in radians across X; aspectRatio is the
  // ratio of the Y half-extent to the X half-extent.
  Frustum(float fieldOfView, float aspectRatio, float nearDistance, float farDistance);
  Frustum(const Frustum&) = default;
  Frustum& operator=(const Frustum&) = default;

  // Maps the frustum-space corners and planes by m afresh on every call.
  void transform(const Matrix& m);
  VANTRA_INLINE const BoundingSphere& boundingSphere() const { return _boundingSphere; }

  // Corners 0 to 3 of each rectangle: (h, w), (h, -w), (-h, -w), (-h, w).
  VANTRA_INLINE const Vector* nearPoints() const { return _nearPoints; }
  VANTRA_INLINE const Vector* farPoints() const { return _farPoints; }
  VANTRA_INLINE const Vector* transformedNearPoints() const { return _transformedNearPoints; }
  VANTRA_INLINE const Vector* transformedFarPoints() const { return _transformedFarPoints; }
  // Near, far, +X, -X, +Y, -Y.
  VANTRA_INLINE const Plane* planes() const { return _planes; }
  VANTRA_INLINE const Plane* transformedPlanes() const { return _transformedPlanes; }

  static void CreateFrustumPlanesBetweenNearAndFarPoints(Plane* planes, const Vector* nearPoints,
                                                         const Vector* farPoints);

 private:
  void computeFrustumNearAndFarPoints();
  void computeFrsutumBoundingSphere();

  float _fieldOfView;
  float _aspectRatio;
  float _nearDistance;
  float _farDistance;
  BoundingSphere _boundingSphere;
  Vector _nearPoints[4];
  Vector _transformedNearPoints[4];
  Vector _farPoints[4];
  Vector _transformedFarPoints[4];
  Plane _planes[6];
  Plane _transformedPlanes[6];
};

}  // namespace vantra
