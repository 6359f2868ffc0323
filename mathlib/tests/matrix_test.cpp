#include <cfloat>
#include <fstream>
#include <sstream>

#include "test_util.h"

namespace vantra {
namespace {

constexpr float kHalfPi = 1.5707964f;

Matrix RotX(float a) {
  Matrix m;
  return m.rotateX(a);
}
Matrix RotY(float a) {
  Matrix m;
  return m.rotateY(a);
}
Matrix RotZ(float a) {
  Matrix m;
  return m.rotateZ(a);
}
Matrix Translation(float x, float y, float z) {
  Matrix m;
  return m.translate(Vector(x, y, z));
}

TEST(MatrixComparison, IdentityToleranceIsInclusive) {
  Matrix m = Identity();
  m[0] = 1.0004f;
  EXPECT_TRUE(m.isIdentity());
  m[0] = 1.0005f;
  EXPECT_FALSE(m.isIdentity());
  Matrix a = Identity(), b = Identity();
  b(3, 2) = EPSILON;
  EXPECT_TRUE(a == b);
  b(3, 2) = std::nextafter(EPSILON, 1.0f);
  EXPECT_TRUE(a != b);
}

TEST(MatrixRotation, ElementaryRotationsTurnTowardsTheNextAxis) {
  struct Case {
    Matrix m;
    Vector in, out;
    const char* why;
  };
  const Case cases[] = {
      {RotY(kHalfPi), Vector(0, 0, 1), Vector(1, 0, 0), "rotateY carries z to +x"},
      {RotX(kHalfPi), Vector(0, 1, 0), Vector(0, 0, 1), "rotateX carries y to +z"},
      {RotZ(kHalfPi), Vector(1, 0, 0), Vector(0, 1, 0), "rotateZ carries x to +y"},
  };
  for (const Case& c : cases) {
    Vector v = c.in;
    EXPECT_TRUE(Near(v.transform(c.m), c.out)) << c.why;
  }
}

TEST(MatrixRotation, AxisRotationNormalisesItsAxis) {
  Matrix m;
  EXPECT_TRUE(Near(m.rotateAxis(Vector(0, 2, 0), 0.7f), RotY(0.7f)));
  EXPECT_TRUE(Near(m.rotateAxis(Vector(1, 0, 0), 0.7f), RotX(0.7f)));
  EXPECT_TRUE(Near(m.rotateAxis(Vector(0, 0, 5), 0.7f), RotZ(0.7f)));
  Matrix diagonal = Identity() * std::cos(0.7f);
  diagonal(3, 3) = 1;
  EXPECT_TRUE(Near(m.rotateAxis(Vector(0.0f), 0.7f), diagonal))
      << "a zero axis leaves the cosine diagonal";
  // The application passes a row of the matrix itself as the axis.
  Matrix self = RotX(0.4f);
  self.rotateAxis(*reinterpret_cast<const Vector*>(&self(1, 0)), 0.9f);
  Matrix expected;
  expected.rotateAxis(Row(RotX(0.4f), 1), 0.9f);
  EXPECT_TRUE(Near(self, expected));
}

TEST(MatrixRotation, HeadingPitchRollIsRollThenPitchThenHeading) {
  Random random(7);
  Matrix m;
  for (int i = 0; i < 300; ++i) {
    const float h = random.angle(), p = random.angle(), r = random.angle();
    m.rotateHPR(h, p, r);
    EXPECT_TRUE(Near(m, RotZ(r) * RotX(p) * RotY(h))) << h << " " << p << " " << r;
    Matrix fromQuat;
    Quat(h, p, r).toRotationMatrix(fromQuat);
    EXPECT_TRUE(Near(m, fromQuat, 2e-5f)) << h << " " << p << " " << r;
  }
  EXPECT_TRUE(Near(m.rotateHPR(0.5f, 0, 0), RotY(0.5f)));
  EXPECT_TRUE(Near(m.rotateHPR(0, 0.5f, 0), RotX(0.5f)));
  EXPECT_TRUE(Near(m.rotateHPR(0, 0, 0.5f), RotZ(0.5f)));
}

TEST(MatrixProduct, AppliesTheLeftOperandFirst) {
  Random random(11);
  for (int i = 0; i < 300; ++i) {
    Matrix a, b;
    a.rotateHPR(random.angle(), random.angle(), random.angle());
    a(3, 0) = random.uniform(-5, 5);
    b.rotateAxis(random.vector(1), random.angle());
    b(3, 1) = random.uniform(-5, 5);
    const Vector p = random.vector(10);
    Vector viaProduct = p, stepwise = p;
    EXPECT_TRUE(Near(viaProduct.transform(a * b), stepwise.transform(a).transform(b), 1e-4f));
    Matrix inPlace = a;
    inPlace *= inPlace;
    EXPECT_TRUE(Near(inPlace, a * a, 0)) << "the destination may be an operand";
    Matrix named = a;
    EXPECT_TRUE(Near(named.multMatrix(b), a * b, 0));
  }
}

// General matrices, column 3 included, against the row-times-column formula
// in double: wide kernels may fuse multiply and add but must agree to float
// precision, element by element.
TEST(MatrixProduct, MatchesTheRowTimesColumnFormula) {
  Random random(12);
  for (int i = 0; i < 300; ++i) {
    Matrix a, b;
    for (int e = 0; e < 16; ++e) a[e] = random.uniform(-10, 10), b[e] = random.uniform(-10, 10);
    const Matrix product = a * b;
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) {
        double exact = 0.0, scale = 0.0;
        for (int k = 0; k < 4; ++k) {
          exact += double(a(r, k)) * b(k, c);
          scale += std::fabs(double(a(r, k)) * b(k, c));
        }
        ASSERT_NEAR(product(r, c), exact, 4 * FLT_EPSILON * scale) << "row " << r << ", col " << c;
      }
  }
}

// Exact bits, including infinities and signed zeros, for operands that are
// separate, the same matrix, or the destination itself.
TEST(MatrixProduct, RoundsEveryElementAsDefined) {
  Random random(13);
  const float special[] = {0.0f, -0.0f, INFINITY, -INFINITY, FLT_MAX, FLT_MIN, 1e-40f};
  for (int i = 0; i < 2000; ++i) {
    Matrix a, b;
    for (int e = 0; e < 16; ++e) a[e] = random.uniform(-10, 10), b[e] = random.uniform(-10, 10);
    if (i % 4 == 0) a[i % 16] = special[i / 4 % 7], b[(i + 5) % 16] = special[i / 28 % 7];
    const Matrix expected = ExpectedProduct(a, b);
    ASSERT_TRUE(SameBits(a * b, expected)) << "case " << i;
    Matrix inPlace = a;
    ASSERT_TRUE(SameBits(inPlace *= b, expected)) << "case " << i;
    Matrix square = a;
    ASSERT_TRUE(SameBits(square.multMatrix(square), ExpectedProduct(a, a))) << "case " << i;
  }
}

TEST(MatrixBuilders, ReplaceThePreviousContents) {
  Matrix m;
  m.translate(Vector(1, 2, 3));
  m.rotateX(0.3f);
  EXPECT_TRUE(Near(Row(m, 3), Vector(0.0f)));
  EXPECT_EQ(m(3, 3), 1.0f);
  m.scale(2, 3, 4);
  EXPECT_TRUE(Near(m, Matrix(Vector(0.0f), Vector(2, 0, 0), Vector(0, 3, 0), Vector(0, 0, 4))));
  EXPECT_TRUE(Near(Matrix(Vector(7, 8, 9), Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)),
                   Translation(7, 8, 9)))
      << "the axes constructor takes the position first";
}

TEST(MatrixInverse, InvertsRigidTransformsOnly) {
  Random random(3);
  for (int i = 0; i < 300; ++i) {
    Matrix m;
    m.rotateHPR(random.angle(), random.angle(), random.angle());
    m *= Translation(random.uniform(-50, 50), random.uniform(-50, 50), random.uniform(-50, 50));
    Matrix inv = m;
    inv.inverse();
    EXPECT_TRUE((inv * m).isIdentity());
    EXPECT_TRUE((m * inv).isIdentity());
  }
  Matrix scaled;
  scaled.scale(2, 2, 2);
  Matrix inv = scaled;
  EXPECT_TRUE(Near(inv.inverse(), scaled)) << "a scale is only transposed";
  Matrix m = RotY(0.5f) * Translation(1, 2, 3);
  const Matrix original = m;
  !m;
  EXPECT_TRUE((m * original).isIdentity()) << "operator! inverts its operand";
}

// Column 3 takes part in the new row 3 and m33 is kept; the result is exact
// because every element is formed in the order of the formula.
TEST(MatrixInverse, FollowsTheRigidFormulaForAnyMatrix) {
  Random random(4);
  for (int i = 0; i < 100; ++i) {
    Matrix m;
    for (int e = 0; e < 16; ++e) m[e] = random.uniform(-10, 10);
    Matrix inv = m;
    inv.inverse();
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) EXPECT_EQ(inv(r, c), m(c, r));
      EXPECT_EQ(inv(r, 3), 0.0f);
      EXPECT_EQ(inv(3, r), m(r, 3) - (m(3, 0) * m(r, 0) + m(3, 1) * m(r, 1) + m(3, 2) * m(r, 2)));
    }
    EXPECT_EQ(inv(3, 3), m(3, 3));
  }
  Matrix far = Translation(INFINITY, 0, 0);
  far.inverse();
  EXPECT_EQ(far(3, 3), 1.0f) << "an infinite translation leaves m33 alone";
  EXPECT_TRUE(std::isinf(far(3, 0)));
}

TEST(MatrixOrientation, OrthogoNormalizeKeepsTheLookDirection) {
  Matrix m(Vector(5, 6, 7), Vector(1, 0, 0), Vector(0, 2, 0.5f), Vector(0, 0, 3));
  m.orthogoNormalize();
  EXPECT_TRUE(Near(m, Translation(5, 6, 7)));
  Random random(5);
  for (int i = 0; i < 300; ++i) {
    const Vector up = random.vector(2), look = random.vector(2);
    Matrix n(Vector(1, 2, 3), random.vector(1), up, look);
    n.orthogoNormalize();
    const Vector r0 = Row(n, 0), r1 = Row(n, 1), r2 = Row(n, 2);
    EXPECT_TRUE(Near(r2, look / std::sqrt(look.magnitudeSquare())));
    EXPECT_TRUE(r0.isUnit() && r1.isUnit() && r2.isUnit());
    EXPECT_NEAR(r0 % r1, 0.0f, 1e-5f);
    EXPECT_NEAR(r1 % r2, 0.0f, 1e-5f);
    EXPECT_NEAR(r0 % r2, 0.0f, 1e-5f);
    EXPECT_TRUE(Near(r0 ^ r1, r2, 1e-5f)) << "a left-handed basis";
    EXPECT_GE(r1 % up, 0.0f) << "row 1 stays on the side of the up hint";
  }
}

TEST(MatrixOrientation, LookAtTurnsRowTwoAndKeepsThePosition) {
  Matrix m = Identity();
  EXPECT_TRUE(Near(m.lookAt(Vector(0, 0, 10)), Identity()));
  m.lookAt(Vector(10, 0, 0));
  EXPECT_TRUE(Near(Row(m, 2), Vector(1, 0, 0)));
  EXPECT_TRUE(Near(Row(m, 0), Vector(0, 0, -1)));
  EXPECT_TRUE(Near(Row(m, 1), Vector(0, 1, 0)));
  Matrix moved = Translation(1, 1, 1);
  moved.lookAlong(Vector(0, 0, -4));
  EXPECT_TRUE(Near(Row(moved, 2), Vector(0, 0, -1)));
  EXPECT_TRUE(Near(Row(moved, 3), Vector(1, 1, 1)));
  Matrix same = Identity();
  same.lookAt(Vector(0.0f));
  EXPECT_TRUE(std::isnan(same(2, 2))) << "a target at the position gives NaN";
}

TEST(MatrixOrientation, RotateLookVectorIntoTurnsAboutRowTwo) {
  Matrix m = Translation(4, 5, 6);
  m.rotateLookVectorInto(Vector(1, 0, 0));
  Matrix expected = RotZ(kHalfPi) * Translation(4, 5, 6);
  EXPECT_TRUE(Near(m, expected)) << "the axis is row 2 itself, so row 2 does not move";
}

TEST(MatrixElementwise, InterpolateRoundAndClamp) {
  const Matrix a = Translation(0, 0, 0), b = Translation(10, 20, 30) * 2.0f;
  Matrix m;
  for (int i = 0; i < 16; ++i) m[i] = -1.0f;
  m.interpolateLinear(a, b, 0.5f);
  EXPECT_TRUE(Near(Row(m, 3), Vector(10, 20, 30)));
  EXPECT_EQ(m(0, 0), 1.5f);
  for (int r = 0; r < 4; ++r) EXPECT_EQ(m(r, 3), -1.0f) << "column 3 is left alone";
  Matrix e = Identity();
  e[5] = 0.7f;
  e[6] = -0.0004f;
  e[7] = 0.0005f;
  EXPECT_EQ(Matrix(e).round()[5], 0.699f);
  Matrix clamped = e;
  clamped.zeroClamp();
  EXPECT_EQ(clamped[6], 0.0f);
  EXPECT_FALSE(std::signbit(clamped[6]));
  EXPECT_EQ(clamped[7], 0.0005f);
  EXPECT_TRUE(Near(Matrix(e).negate(), e * -1.0f, 0));
  EXPECT_TRUE(Near(Matrix(e).transpose().transpose(), e, 0));
  EXPECT_EQ(Matrix(e).transpose()(1, 2), e(2, 1));
}

std::string Printed(const Matrix& m, int precision = 6) {
  const std::string path = ::testing::TempDir() + "matrix_print.txt";
  {
    std::ofstream out(path);
    out.precision(precision);
    m.print(out);
    EXPECT_EQ(out.precision(), precision) << "print leaves the stream's format alone";
  }
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(MatrixPrint, WritesTabSeparatedRowsAndTwoBlankLines) {
  EXPECT_EQ(Printed(Identity()),
            "Matrix is \n1\t0\t0\t0\n0\t1\t0\t0\n0\t0\t1\t0\n0\t0\t0\t1\n\n\n");
  Matrix m = Identity();
  m(2, 0) = 8;
  m(2, 1) = 9;
  m(2, 2) = 10;
  m(2, 3) = 11;
  m(0, 0) = 3.14159265f;
  m(0, 1) = -1.5e-7f;
  EXPECT_EQ(Printed(m),
            "Matrix is \n3.14159\t-1.5e-07\t0\t0\n0\t1\t0\t0\n8\t9\t10\t11\n0\t0\t0\t1\n\n\n");
  EXPECT_EQ(Printed(m, 3).substr(11, 5), "3.14\t");
}

}  // namespace
}  // namespace vantra
