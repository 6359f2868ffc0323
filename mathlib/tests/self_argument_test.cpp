#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "test_util.h"

namespace vantra {
namespace {

template <typename T>
std::string Bytes(const T& value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// Rows of a matrix are viewed in place as vectors, as callers do.
Vector& RowOf(Matrix& m, int r) { return *reinterpret_cast<Vector*>(&m(r, 0)); }

Matrix SomeMatrix() {
  Matrix m;
  m.rotateHPR(0.3f, -0.7f, 1.1f);
  m(3, 0) = 4, m(3, 1) = -2, m(3, 2) = 9;
  m(0, 3) = 0.5f, m(3, 3) = 2;
  return m;
}

Matrix OtherMatrix() {
  Matrix m;
  m.rotateAxis(Vector(1, 2, -3), 2.2f);
  m(3, 0) = -1, m(3, 1) = 6, m(3, 2) = 0.25f;
  return m;
}

const Quat kRotation(Vector(1, -2, 0.5f), 0.9f);
const Quat kOtherRotation(Vector(-3, 1, 2), -2.4f);
const Vector kVector(1.5f, -2.25f, 3.125f), kOtherVector(-4, 0.5f, 7);
const BoundingBox kBox(Vector(-1, 0, 2), Vector(3, 1, 2.5f));
const BoundingBox kOtherBox(Vector(0, -4, 1), Vector(1, 0.5f, 8));
Vector sphereCenter(1, 2, 3), otherSphereCenter(6, -1, 0);
const BoundingSphere kSphere(sphereCenter, 2), kOtherSphere(otherSphereCenter, 3);

// Each row runs one modifier twice: once given the object itself (or a part
// of it) as an argument, once given an independent copy of the same value.
// The results must be the same bits. A new modifier that takes an argument
// of its own type belongs here.
struct SelfArgumentCase {
  const char* call;
  std::function<std::string(bool self)> run;
};

const SelfArgumentCase kCases[] = {
    {"q.multQuat(q)",
     [](bool self) {
       Quat q = kRotation, copy = q;
       q.multQuat(self ? q : copy);
       return Bytes(q);
     }},
    {"q *= q",
     [](bool self) {
       Quat q = kRotation, copy = q;
       q *= self ? q : copy;
       return Bytes(q);
     }},
    {"q = q * q",
     [](bool self) {
       Quat q = kRotation, copy = q;
       q = q * (self ? q : copy);
       return Bytes(q);
     }},
    {"q.interpolateSpherical(q, b, t)",
     [](bool self) {
       Quat q = kRotation, copy = q;
       q.interpolateSpherical(self ? q : copy, kOtherRotation, 0.3f);
       return Bytes(q);
     }},
    {"q.interpolateSpherical(a, q, t)",
     [](bool self) {
       Quat q = kRotation, copy = q;
       q.interpolateSpherical(kOtherRotation, self ? q : copy, 0.3f);
       return Bytes(q);
     }},
    {"q.interpolateSpherical(q, q, t)",
     [](bool self) {
       Quat q = kRotation, copy = q;
       q.interpolateSpherical(self ? q : copy, self ? q : copy, 0.6f);
       return Bytes(q);
     }},
    {"m.multMatrix(m)",
     [](bool self) {
       Matrix m = SomeMatrix(), copy = m;
       m.multMatrix(self ? m : copy);
       return Bytes(m);
     }},
    {"m *= m",
     [](bool self) {
       Matrix m = SomeMatrix(), copy = m;
       m *= self ? m : copy;
       return Bytes(m);
     }},
    {"m.interpolateLinear(m, b, t)",
     [](bool self) {
       Matrix m = SomeMatrix(), copy = m;
       m.interpolateLinear(self ? m : copy, OtherMatrix(), 0.3f);
       return Bytes(m);
     }},
    {"m.interpolateLinear(a, m, t)",
     [](bool self) {
       Matrix m = SomeMatrix(), copy = m;
       m.interpolateLinear(OtherMatrix(), self ? m : copy, 0.3f);
       return Bytes(m);
     }},
    {"m.rotateAxis(row 1 of m, angle)",
     [](bool self) {
       Matrix m = SomeMatrix(), copy = m;
       m.rotateAxis(RowOf(self ? m : copy, 1), 0.8f);
       return Bytes(m);
     }},
    {"m.translate(row 3 of m)",
     [](bool self) {
       Matrix m = SomeMatrix(), copy = m;
       m.translate(RowOf(self ? m : copy, 3));
       return Bytes(m);
     }},
    {"m.lookAt(row 0 of m)",
     [](bool self) {
       Matrix m = SomeMatrix(), copy = m;
       m.lookAt(RowOf(self ? m : copy, 0));
       return Bytes(m);
     }},
    {"m.lookAlong(row 1 of m)",
     [](bool self) {
       Matrix m = SomeMatrix(), copy = m;
       m.lookAlong(RowOf(self ? m : copy, 1));
       return Bytes(m);
     }},
    {"m.rotateLookVectorInto(row 0 of m)",
     [](bool self) {
       Matrix m = SomeMatrix(), copy = m;
       m.rotateLookVectorInto(RowOf(self ? m : copy, 0));
       return Bytes(m);
     }},
    {"row 2 of m .transform(m)",
     [](bool self) {
       Matrix m = SomeMatrix(), copy = m;
       RowOf(m, 2).transform(self ? m : copy);
       return Bytes(m);
     }},
    {"v.interpolateLinear(v, b, t)",
     [](bool self) {
       Vector v = kVector, copy = v;
       v.interpolateLinear(self ? v : copy, kOtherVector, 0.3f);
       return Bytes(v);
     }},
    {"v.interpolateLinear(a, v, t)",
     [](bool self) {
       Vector v = kVector, copy = v;
       v.interpolateLinear(kOtherVector, self ? v : copy, 0.3f);
       return Bytes(v);
     }},
    {"v.interpolateCosine(v, b, t)",
     [](bool self) {
       Vector v = kVector, copy = v;
       v.interpolateCosine(self ? v : copy, kOtherVector, 0.3f);
       return Bytes(v);
     }},
    {"v.interpolateCosine(a, v, t)",
     [](bool self) {
       Vector v = kVector, copy = v;
       v.interpolateCosine(kOtherVector, self ? v : copy, 0.3f);
       return Bytes(v);
     }},
    {"v ^= v",
     [](bool self) {
       Vector v = kVector, copy = v;
       v ^= self ? v : copy;
       return Bytes(v);
     }},
    {"v /= v",
     [](bool self) {
       Vector v = kVector, copy = v;
       v /= self ? v : copy;
       return Bytes(v);
     }},
    {"TransformPoints in place",
     [](bool self) {
       Vector points[21];
       for (int i = 0; i < 21; ++i) points[i] = kVector * static_cast<float>(i - 7);
       Vector out[21];
       Vector::TransformPoints(self ? points : out, points, 21, SomeMatrix());
       return Bytes(self ? points : out);
     }},
    {"box.merge(box, other)",
     [](bool self) {
       BoundingBox box = kBox, copy = box;
       box.merge(self ? box : copy, kOtherBox);
       return Bytes(box);
     }},
    {"box.merge(other, box)",
     [](bool self) {
       BoundingBox box = kBox, copy = box;
       box.merge(kOtherBox, self ? box : copy);
       return Bytes(box);
     }},
    {"box.merge(box, box)",
     [](bool self) {
       BoundingBox box = kBox, copy = box;
       box.merge(self ? box : copy, self ? box : copy);
       return Bytes(box);
     }},
    {"box.setMinMaxCorner(its own corners)",
     [](bool self) {
       BoundingBox box = kOtherBox, copy = box;
       const BoundingBox& from = self ? box : copy;
       box.setMinMaxCorner(from.corner(1), from.corner(5));
       return Bytes(box);
     }},
    {"box = box",
     [](bool self) {
       BoundingBox box = kBox, copy = box;
       box = self ? box : copy;
       return Bytes(box);
     }},
    {"ComputeCenterPoint into one of its points",
     [](bool self) {
       std::vector<Vector> points = {kVector, kOtherVector, Vector(2, 9, -1)};
       Vector copy = points[0];
       BoundingSphere::ComputeCenterPoint(points, self ? points[0] : copy);
       return Bytes(self ? points[0] : copy);
     }},
    {"ComputeMinMaxPoint into its own points",
     [](bool self) {
       std::vector<Vector> points = {kVector, kOtherVector, Vector(2, 9, -1)};
       Vector lo = points[1], hi = points[2];
       BoundingBox::ComputeMinMaxPoint(points, self ? points[1] : lo, self ? points[2] : hi);
       return self ? Bytes(points[1]) + Bytes(points[2]) : Bytes(lo) + Bytes(hi);
     }},
    {"sphere.merge(sphere, other)",
     [](bool self) {
       BoundingSphere sphere = kSphere, copy = sphere;
       sphere.merge(self ? sphere : copy, kOtherSphere);
       return Bytes(sphere);
     }},
    {"sphere.merge(other, sphere)",
     [](bool self) {
       BoundingSphere sphere = kSphere, copy = sphere;
       sphere.merge(kOtherSphere, self ? sphere : copy);
       return Bytes(sphere);
     }},
    {"sphere.setCenterAndRadius(its own centre)",
     [](bool self) {
       BoundingSphere sphere = kSphere, copy = sphere;
       sphere.setCenterAndRadius((self ? sphere : copy).center(), 5);
       return Bytes(sphere);
     }},
    {"camera.moveAlong(a row of its own matrix)",
     [](bool self) {
       BasicCamera camera;
       camera.lookRight(30);
       camera.moveUp(2);
       for (int row : {2, 3}) {
         Matrix copy = camera.cameraWorldMatrix();
         camera.moveAlong(RowOf(self ? camera.cameraWorldMatrix() : copy, row), 1.5f);
       }
       return Bytes(camera.cameraWorldMatrix());
     }},
};

TEST(SelfArguments, GiveTheSameResultAsACopy) {
  for (const SelfArgumentCase& c : kCases) EXPECT_EQ(c.run(true), c.run(false)) << c.call;
}

// The product of a rotation with itself is the rotation by twice the angle.
TEST(SelfArguments, QuatSquareDoublesTheAngle) {
  Quat q(Vector(0, 1, 0), 0.6f);
  q *= q;
  Matrix expected;
  expected.rotateY(1.2f);
  Matrix m;
  q.toRotationMatrix(m);
  EXPECT_TRUE(Near(m, expected));
}

}  // namespace
}  // namespace vantra
