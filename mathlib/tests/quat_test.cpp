#include <cstdint>
#include <cstring>

#include "test_util.h"

namespace vantra {
namespace {

constexpr float kHalfPi = 1.5707964f;

::testing::AssertionResult Near(const Quat& a, const Quat& b, float tol = 1e-5f) {
  if (std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol && std::fabs(a.z - b.z) <= tol &&
      std::fabs(a.w - b.w) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "(" << a.x << ", " << a.y << ", " << a.z << ", " << a.w << ") vs (" << b.x << ", "
         << b.y << ", " << b.z << ", " << b.w << ")";
}

Quat Q(float x, float y, float z, float w) {
  Quat q;
  q.x = x;
  q.y = y;
  q.z = z;
  q.w = w;
  return q;
}

Quat Negated(const Quat& q) { return Q(-q.x, -q.y, -q.z, -q.w); }

Matrix MatrixOf(Quat q) {
  Matrix m;
  q.toRotationMatrix(m);
  return m;
}

TEST(QuatConstruction, AxisAngleAndYawPitchRollAgree) {
  EXPECT_TRUE(Near(Quat(Vector(0, 1, 0), kHalfPi), Q(0, 0.7071068f, 0, 0.7071068f)));
  EXPECT_TRUE(Near(Quat(Vector(0, 3, 0), kHalfPi), Q(0, 0.7071068f, 0, 0.7071068f)));
  EXPECT_TRUE(Near(Quat(0.8f, 0, 0), Quat(Vector(0, 1, 0), 0.8f)));
  EXPECT_TRUE(Near(Quat(0, 0.8f, 0), Quat(Vector(1, 0, 0), 0.8f)));
  EXPECT_TRUE(Near(Quat(0, 0, 0.8f), Quat(Vector(0, 0, 1), 0.8f)));
  EXPECT_TRUE(Near(Quat(Vector(0.0f), 0.8f), Q(0, 0, 0, std::cos(0.4f))));
}

TEST(QuatConstruction, FromMatrixCoversEveryBranch) {
  Matrix m;
  EXPECT_TRUE(Near(Quat(m.rotateY(3.1415927f)), Q(0, 1, 0, 0))) << "non-positive trace";
  EXPECT_TRUE(Near(Quat(m.rotateY(0.6f)), Q(0, std::sin(0.3f), 0, std::cos(0.3f))));
  Random random(13);
  for (int i = 0; i < 300; ++i) {
    const Quat q(random.vector(1), random.uniform(-6.2f, 6.2f));
    const Quat back(MatrixOf(q));
    EXPECT_TRUE(Near(back, q, 1e-4f) || Near(back, Negated(q), 1e-4f));
  }
}

TEST(QuatIdentity, IsExact) {
  Quat q = Q(1, 2, 3, 4);
  q.makeIdentity();
  EXPECT_TRUE(q.isIdentity());
  EXPECT_TRUE(Q(-0.0f, 0, 0, 1).isIdentity());
  EXPECT_FALSE(Q(0, 0, 0, 0.99999994f).isIdentity());
  EXPECT_FALSE(Q(0.0001f, 0, 0, 1).isIdentity());
}

TEST(QuatProduct, AppliesThisFirst) {
  const Quat a(Vector(0, 1, 0), kHalfPi), b(Vector(1, 0, 0), kHalfPi);
  Matrix ry, rx;
  ry.rotateY(kHalfPi);
  rx.rotateX(kHalfPi);
  EXPECT_TRUE(Near(MatrixOf(a * b), ry * rx));
  EXPECT_FALSE(Near(MatrixOf(a * b), rx * ry, 1e-2f));
  Quat identity;
  identity.makeIdentity();
  Quat c = a;
  EXPECT_TRUE(Near(c.multQuat(identity), a, 0));
  EXPECT_TRUE(Near(identity * a, a, 0));
  Random random(17);
  for (int i = 0; i < 300; ++i) {
    const Quat p(random.vector(1), random.angle()), q(random.vector(1), random.angle());
    Quat r = p;
    r *= q;
    // Loose: the conversion goes through acos(w), which is ill-conditioned near w = 1.
    EXPECT_TRUE(Near(MatrixOf(r), MatrixOf(p) * MatrixOf(q), 1e-3f));
  }
}

TEST(QuatSlerp, TakesTheShortestArc) {
  const Quat a(Vector(0, 1, 0), 0.4f), b(Vector(1, 1, 0), 1.2f);
  Quat r;
  EXPECT_TRUE(Near(r.interpolateSpherical(a, b, 0), a));
  EXPECT_TRUE(Near(r.interpolateSpherical(a, b, 1), b));
  EXPECT_TRUE(Near(r.interpolateSpherical(a, Negated(b), 1), b))
      << "a negative dot product flips b";
  for (float t : {0.0f, 0.3f, 1.0f}) EXPECT_TRUE(Near(r.interpolateSpherical(a, Negated(a), t), a));
  const Quat c(Vector(0, 0, 1), 0.5f);
  Quat half;
  half.interpolateSpherical(c, Quat(Vector(0, 0, 1), 1.5f), 0.5f);
  EXPECT_TRUE(Near(half, Quat(Vector(0, 0, 1), 1.0f)));
  // A dot product of 0.9999999 is within 2^-23 of 1: the blend is linear.
  const Quat p = Q(0, 0, 0, 1), q = Q(0, 0, 0, 0.9999999f);
  EXPECT_EQ(r.interpolateSpherical(p, q, 0.5f).w, 0.5f * p.w + 0.5f * q.w);
  Quat self = a;
  self.interpolateSpherical(self, b, 0.5f);
  EXPECT_TRUE(Near(self, r.interpolateSpherical(a, b, 0.5f), 0)) << "a may be this";
}

TEST(QuatConversion, AxisAngleAndMatrix) {
  Quat q(Vector(0, 1, 0), 1.0f);
  Vector axis;
  float angle = 0;
  q.toAxisAngle(axis, angle);
  EXPECT_TRUE(Near(axis, Vector(0, 0.4794255f, 0))) << "the axis is not normalised";
  EXPECT_NEAR(angle, 1.0f, 1e-6f);
  Matrix rz;
  rz.rotateZ(0.9f);
  EXPECT_TRUE(Near(MatrixOf(Quat(Vector(0, 0, 1), 0.9f)), rz));
  Quat identity;
  identity.makeIdentity();
  EXPECT_TRUE(MatrixOf(identity).isIdentity());
  Q(0, 0, 0, 1.5f).toAxisAngle(axis, angle);
  EXPECT_TRUE(std::isnan(angle));
}

}  // namespace
}  // namespace vantra
