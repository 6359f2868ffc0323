#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "test_util.h"

namespace vantra {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(Conventions, EpsilonHasItsExactBitPattern) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &EPSILON, sizeof bits);
  EXPECT_EQ(bits, 0x3A002000u);
}

TEST(Conventions, ToleranceIsInclusiveAtExactlyEpsilon) {
  struct Case {
    Vector a, b;
    bool equal;
    const char* why;
  };
  const Case cases[] = {
      {Vector(0, 0, 0), Vector(EPSILON, 0, 0), true, "a difference of exactly EPSILON"},
      {Vector(0, 0, 0), Vector(0, -EPSILON, 0), true, "below by exactly EPSILON"},
      {Vector(0, 0, 0), Vector(0, 0, std::nextafter(EPSILON, 1.0f)), false,
       "one ulp beyond EPSILON"},
      {Vector(1, 2, 3), Vector(1.0004f, 2, 3), true, "0.0004 apart"},
      {Vector(1, 2, 3), Vector(1.0005f, 2, 3), false, "0.0005 apart"},
      {Vector(1, 2, 3), Vector(1, 2, kNaN), false, "NaN never compares equal"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.a == c.b, c.equal) << c.why;
    EXPECT_EQ(c.a != c.b, !c.equal) << c.why;
  }
}

TEST(Conventions, ZeroAndUnitTestTheSquaredLength) {
  EXPECT_TRUE(Vector(0.02f, 0, 0).isZero());
  EXPECT_FALSE(Vector(0.03f, 0, 0).isZero());
  EXPECT_TRUE(Vector(1.0002f, 0, 0).isUnit());
  EXPECT_FALSE(Vector(1.0003f, 0, 0).isUnit());
}

TEST(Conventions, DegreesUseFloatPiTimesDoubleReciprocal) {
  // 10 degrees differs from the double-pi result, 7 from an all-float one.
  EXPECT_EQ(degreesToRadians(10.0f), 0.1745329350233078f);
  EXPECT_EQ(degreesToRadians(7.0f), 0.12217304855585098f);
  EXPECT_EQ(degreesToRadians(180.0f), 3.1415927f);
}

TEST(Conventions, RoundKeepsThreeDecimalsTruncatingTowardZero) {
  Vector v(1.23456f, -1.23456f, 0.7f);
  v.round();
  EXPECT_EQ(v.x, 1.234f);
  EXPECT_EQ(v.y, -1.234f);
  EXPECT_EQ(v.z, 0.699f);
  Vector w(2.9996f, -1.2345f, kNaN);
  w.round();
  EXPECT_EQ(w.x, 2.999f);
  EXPECT_EQ(w.y, -1.234f);
  EXPECT_TRUE(std::isnan(w.z));
}

TEST(Conventions, ZeroClampReplacesOnlyValuesStrictlyInsideEpsilon) {
  Vector v(0.0004f, -0.0004f, 0.0005f);
  v.zeroClamp();
  EXPECT_EQ(v.x, 0.0f);
  EXPECT_EQ(v.y, 0.0f);
  EXPECT_FALSE(std::signbit(v.y)) << "clamped values become +0.0";
  EXPECT_EQ(v.z, 0.0005f);
  Vector edge(EPSILON, -EPSILON, kNaN);
  edge.zeroClamp();
  EXPECT_EQ(edge.x, EPSILON);
  EXPECT_EQ(edge.y, -EPSILON);
  EXPECT_TRUE(std::isnan(edge.z));
}

TEST(VectorArithmetic, ProductsAndQuotients) {
  const Vector a(1, 2, 3), b(4, 5, 6);
  EXPECT_TRUE(Near(a * b, Vector(4, 10, 18))) << "operator* is component-wise";
  EXPECT_EQ(a % b, 32.0f);
  EXPECT_EQ(a.dotProduct(b), 32.0f);
  EXPECT_TRUE(Near(Vector(1, 0, 0) ^ Vector(0, 1, 0), Vector(0, 0, 1)));
  EXPECT_TRUE(Near(Vector(0, 1, 0).crossProduct(Vector(1, 0, 0)), Vector(0, 0, -1)));
  Vector c = a;
  c ^= b;
  EXPECT_TRUE(Near(c, a ^ b)) << "^= reads the old components before storing";
  // Scalar division multiplies by the float reciprocal: 5 * (1/3) rounds up.
  EXPECT_EQ((Vector(5.0f) / 3.0f).x, 5.0f * (1.0f / 3.0f));
  EXPECT_NE((Vector(5.0f) / 3.0f).x, 5.0f / 3.0f);
  Vector d(5.0f);
  d /= 3.0f;
  EXPECT_EQ(d.x, 5.0f * (1.0f / 3.0f));
  EXPECT_EQ((Vector(5.0f) / Vector(3.0f)).x, 5.0f / 3.0f) << "vector division is true division";
}

TEST(VectorArithmetic, NormalizeReturnsThePreviousLength) {
  Vector v(3, 4, 0);
  EXPECT_EQ(v.normalize(), 5.0f);
  EXPECT_TRUE(Near(v, Vector(0.6f, 0.8f, 0)));
  Vector zero(0.0f);
  EXPECT_EQ(zero.normalize(), 0.0f);
  EXPECT_TRUE(std::isnan(zero.x) && std::isnan(zero.y) && std::isnan(zero.z));
}

TEST(VectorArithmetic, AngleBetweenIgnoresLengths) {
  EXPECT_FLOAT_EQ(Vector(1, 0, 0).angleBetween(Vector(0, 1, 0)), 1.5707964f);
  EXPECT_FLOAT_EQ(Vector(1, 0, 0).angleBetween(Vector(-2, 0, 0)), 3.1415927f);
  EXPECT_TRUE(std::isnan(Vector(1, 0, 0).angleBetween(Vector(0.0f))));
}

TEST(VectorArithmetic, TransformIsARowVectorPointProduct) {
  Matrix m = Identity();
  m(3, 0) = 10;
  m(3, 1) = 20;
  m(3, 2) = 30;
  m(0, 3) = 5;
  m(2, 3) = 7;
  Vector p(1, 2, 3);
  EXPECT_TRUE(Near(p.transform(m), Vector(11, 22, 33))) << "column 3 has no effect";
  Matrix r;
  r.rotateY(0.3f);
  r(3, 0) = 1;
  Vector q(2, -1, 4);
  q.transform(r);
  const float c = std::cos(0.3f), s = std::sin(0.3f);
  EXPECT_TRUE(Near(q, Vector(2 * c + 4 * s + 1, -1, -2 * s + 4 * c)));
}

// Every count from an empty batch to three groups of sixteen and a partial
// one, so that whole groups, partial groups and single points all occur.
TEST(VectorArithmetic, TransformPointsAgreesWithTransformForEveryCount) {
  Random random(5);
  Matrix m;
  m.rotateHPR(0.4f, -1.1f, 2.0f);
  m(3, 0) = 7, m(3, 1) = -3, m(3, 2) = 12;
  m(0, 3) = 9, m(3, 3) = 4;  // column 3 has no effect here either
  const Vector sentinel(-123.0f, 456.0f, 789.0f);
  for (int count = 0; count <= 53; ++count) {
    std::vector<Vector> in(count);
    for (Vector& p : in) p = random.vector(100);
    std::vector<Vector> out(count + 1, sentinel);
    Vector::TransformPoints(out.data(), in.data(), count, m);
    std::vector<Vector> inPlace = in;
    Vector::TransformPoints(inPlace.data(), inPlace.data(), count, m);
    for (int i = 0; i < count; ++i) {
      Vector expected = in[i];
      expected.transform(m);
      ASSERT_TRUE(Near(out[i], expected, 1e-4f)) << "point " << i << " of " << count;
      ASSERT_TRUE(Near(inPlace[i], out[i], 0.0f)) << "in place, point " << i << " of " << count;
    }
    EXPECT_TRUE(Near(out[count], sentinel, 0.0f)) << "nothing written past " << count;
  }
}

TEST(VectorInterpolation, LinearAndCosine) {
  const Vector a(0, 0, 0), b(2, 4, 6);
  Vector v;
  EXPECT_TRUE(Near(v.interpolateCosine(a, b, 0.5f), Vector(1, 2, 3)));
  EXPECT_TRUE(Near(v.interpolateCosine(a, b, 0.25f), b * 0.1464466f));
  EXPECT_FLOAT_EQ(interpolateCosine(0.0f, 2.0f, 0.25f), 2.0f * 0.1464466f);
  EXPECT_TRUE(Near(v.interpolateLinear(a, b, 1.5f), Vector(3, 6, 9))) << "t is not clamped";
  Vector self(1, 1, 1);
  self.interpolateLinear(self, b, 0.5f);
  EXPECT_TRUE(Near(self, Vector(1.5f, 2.5f, 3.5f))) << "a may be this";
}

}  // namespace
}  // namespace vantra
