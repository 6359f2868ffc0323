#include "vantra/matrix.h"

#include <cmath>
#include <fstream>
#include <ostream>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "numeric_rules.h"

namespace vantra {

namespace {

Vector Row(const Matrix& m, int r) { return Vector(m(r, 0), m(r, 1), m(r, 2)); }

void SetRow(Matrix& m, int r, const Vector& v) {
  m(r, 0) = v.x;
  m(r, 1) = v.y;
  m(r, 2) = v.z;
}

// Writes the elements straight into place. Building a local array and
// copying it makes the compiler reload narrow stores with wide loads, which
// stalls store forwarding and doubled the cost of the builders.
void SetRows(Matrix& m, float m00, float m01, float m02, float m03, float m10, float m11, float m12,
             float m13, float m20, float m21, float m22, float m23, float m30, float m31, float m32,
             float m33) {
  float* e = m;
  e[0] = m00, e[1] = m01, e[2] = m02, e[3] = m03;
  e[4] = m10, e[5] = m11, e[6] = m12, e[7] = m13;
  e[8] = m20, e[9] = m21, e[10] = m22, e[11] = m23;
  e[12] = m30, e[13] = m31, e[14] = m32, e[15] = m33;
}

}  // namespace

void Matrix::MultMatrixPlain(Matrix& out, const Matrix& a, const Matrix& b) {
  float t[16];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      t[4 * r + c] = a._m[4 * r] * b._m[c] + a._m[4 * r + 1] * b._m[4 + c] +
                     a._m[4 * r + 2] * b._m[8 + c] + a._m[4 * r + 3] * b._m[12 + c];
  out.clone(t);
}

Matrix::Matrix(const Vector& position, const Vector& xAxis, const Vector& yAxis,
               const Vector& zAxis) {
  SetRows(*this, xAxis.x, xAxis.y, xAxis.z, 0.0f, yAxis.x, yAxis.y, yAxis.z, 0.0f, zAxis.x, zAxis.y,
          zAxis.z, 0.0f, position.x, position.y, position.z, 1.0f);
}

bool Matrix::operator==(const Matrix& b) const {
  for (int i = 0; i < 16; ++i)
    if (!floatEquals(_m[i], b._m[i])) return false;
  return true;
}

bool Matrix::isIdentity() const {
  Matrix identity;
  identity.makeIdentity();
  return *this == identity;
}

Matrix Matrix::operator*(float s) const {
  Matrix out = *this;
  return out *= s;
}

Matrix& Matrix::operator*=(float s) {
  for (float& v : _m) v *= s;
  return *this;
}

Matrix& Matrix::negate() { return *this *= -1.0f; }

void Matrix::makeIdentity() { SetRows(*this, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1); }

Matrix& Matrix::rotateX(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  SetRows(*this, 1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
  return *this;
}

Matrix& Matrix::rotateY(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  SetRows(*this, c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
  return *this;
}

Matrix& Matrix::rotateZ(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  SetRows(*this, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  return *this;
}

// The axis is copied before any element is written, so it may be a row of this matrix.
Matrix& Matrix::rotateAxis(const Vector& axis, float angle) {
  const Vector n = rules::NormalizedAxis(axis);
  const float x = n.x, y = n.y, z = n.z;
  const float c = std::cos(angle), s = std::sin(angle), d = 1.0f - c;
  SetRows(*this, d * x * x + c, d * x * y + z * s, d * x * z - y * s, 0, d * x * y - z * s,
          d * y * y + c, d * y * z + x * s, 0, d * x * z + y * s, d * y * z - x * s, d * z * z + c,
          0, 0, 0, 0, 1);
  return *this;
}

Matrix& Matrix::scale(float sx, float sy, float sz) {
  SetRows(*this, sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
  return *this;
}

// t is copied first: it may be a row of this matrix.
Matrix& Matrix::translate(const Vector& t) {
  const Vector position = t;
  makeIdentity();
  (*this)(3, 0) = position.x;
  (*this)(3, 1) = position.y;
  (*this)(3, 2) = position.z;
  return *this;
}

Matrix& Matrix::transpose() {
  for (int r = 0; r < 4; ++r)
    for (int c = r + 1; c < 4; ++c) {
      const float t = (*this)(r, c);
      (*this)(r, c) = (*this)(c, r);
      (*this)(c, r) = t;
    }
  return *this;
}

// Transposed rotation followed by the negated translation: the exact inverse
// of a rotation plus translation, without a determinant. Written out, the
// translation row is each old column dotted with the translation, subtracted
// from the old column 3 element.
Matrix& Matrix::inverse() {
#if defined(__SSE2__)
  // The columns become the rows; all three products of a lane are summed in
  // the order of the formula below, and m33 stays whatever the translation.
  __m128 c0 = _mm_loadu_ps(_m), c1 = _mm_loadu_ps(_m + 4), c2 = _mm_loadu_ps(_m + 8);
  __m128 c3 = _mm_loadu_ps(_m + 12);
  const __m128 t = c3;
  _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
  const __m128 firstThree = _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0));
  const __m128 moved = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_shuffle_ps(t, t, 0x00), c0),
                                             _mm_mul_ps(_mm_shuffle_ps(t, t, 0x55), c1)),
                                  _mm_mul_ps(_mm_shuffle_ps(t, t, 0xAA), c2));
  _mm_storeu_ps(_m, _mm_and_ps(c0, firstThree));
  _mm_storeu_ps(_m + 4, _mm_and_ps(c1, firstThree));
  _mm_storeu_ps(_m + 8, _mm_and_ps(c2, firstThree));
  _mm_storeu_ps(_m + 12, _mm_sub_ps(c3, _mm_and_ps(moved, firstThree)));
#else
  const Matrix m = *this;
  const float tx = m(3, 0), ty = m(3, 1), tz = m(3, 2);
  SetRows(*this, m(0, 0), m(1, 0), m(2, 0), 0, m(0, 1), m(1, 1), m(2, 1), 0, m(0, 2), m(1, 2),
          m(2, 2), 0, m(0, 3) - (tx * m(0, 0) + ty * m(0, 1) + tz * m(0, 2)),
          m(1, 3) - (tx * m(1, 0) + ty * m(1, 1) + tz * m(1, 2)),
          m(2, 3) - (tx * m(2, 0) + ty * m(2, 1) + tz * m(2, 2)), m(3, 3));
#endif
  return *this;
}

Matrix& Matrix::operator!() { return inverse(); }

// Row 2 keeps its direction, row 1 is only the up hint and the old row 0 is
// discarded. A zero row 2, or row 1 parallel to it, gives NaN.
Matrix& Matrix::orthogoNormalize() {
  Vector forward = Row(*this, 2);
  forward *= 1.0f / std::sqrt(forward.magnitudeSquare());
  Vector right = Row(*this, 1) ^ forward;
  right *= 1.0f / std::sqrt(right.magnitudeSquare());
  Vector up = forward ^ right;
  up *= 1.0f / std::sqrt(up.magnitudeSquare());
  SetRow(*this, 0, right);
  SetRow(*this, 1, up);
  SetRow(*this, 2, forward);
  return *this;
}

Matrix& Matrix::lookAt(const Vector& target) {
  SetRow(*this, 2, target - Row(*this, 3));
  return orthogoNormalize();
}

Matrix& Matrix::lookAlong(const Vector& direction) { return lookAt(Row(*this, 3) + direction); }

// The rotation axis is row 2 itself, not row 2 x v.
Matrix& Matrix::rotateLookVectorInto(const Vector& v) {
  const Vector look = Row(*this, 2);
  Matrix rotation;
  rotation.rotateAxis(look, look.angleBetween(v));
  MultMatrix(*this, rotation, *this);
  return *this;
}

Matrix& Matrix::round() {
  for (float& v : _m) v = rules::RoundThreeDecimals(v);
  return *this;
}

Matrix& Matrix::zeroClamp() {
  for (float& v : _m) v = rules::ZeroClamp(v);
  return *this;
}

Matrix& Matrix::interpolateLinear(const Matrix& a, const Matrix& b, float t) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c) {
      const int i = 4 * r + c;
      _m[i] = a._m[i] + (b._m[i] - a._m[i]) * t;
    }
  return *this;
}

// Uses the stream's own float formatting and leaves it as it was.
void Matrix::print(std::ofstream& out) const {
  out << "Matrix is " << std::endl;
  for (int r = 0; r < 4; ++r)
    out << (*this)(r, 0) << "\t" << (*this)(r, 1) << "\t" << (*this)(r, 2) << "\t" << (*this)(r, 3)
        << std::endl;
  out << "\n\n";
}

}  // namespace vantra
