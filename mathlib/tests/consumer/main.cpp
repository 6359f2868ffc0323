// Uses inline and out-of-line members alike, so both must come from the
// installed headers and library.
#include <vantra/vantra.h>

#include <cstdio>

int main() {
  vantra::BasicCamera camera;
  camera.lookRight(90);
  camera.moveForward(2);
  const vantra::Matrix& world = camera.cameraWorldMatrix();
  vantra::Vector position(world(3, 0), world(3, 1), world(3, 2));
  const vantra::BoundingBox box(vantra::Vector(1, -1, -1), vantra::Vector(3, 1, 1));
  const vantra::Plane plane(vantra::Vector(1, 0, 0), -2);
  const bool ok =
      position == vantra::Vector(2, 0, 0) &&
      box.testIntersectionWithPlane(plane, nullptr) == vantra::IntersectionCodes::INTERSECTING;
  std::printf(ok ? "consumer ok\n" : "consumer wrong\n");
  return ok ? 0 : 1;
}
