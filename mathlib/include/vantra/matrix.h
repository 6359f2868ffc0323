#pragma once

#include <cmath>
#include <iosfwd>
#include <type_traits>

#include "vantra/export.h"
#include "vantra/vector.h"

namespace vantra {

// 4x4 single-precision matrix for row vectors (v' = v * M), stored row-major:
// element (row, col) has flat index 4 * row + col. Rows 0 to 2 are the x, y
// and z axes, row 3 the translation.
class VANTRA_API Matrix {
 public:
  // Writes nothing: builders and products fill all sixteen elements.
  VANTRA_INLINE Matrix() {}
  Matrix(const Matrix&) = default;
  VANTRA_INLINE Matrix(const float* const values) { clone(values); }
  Matrix(const Vector& position, const Vector& xAxis, const Vector& yAxis, const Vector& zAxis);
  Matrix& operator=(const Matrix&) = default;

  VANTRA_INLINE void clone(const float* values) {
    for (int i = 0; i < 16; ++i) _m[i] = values[i];
  }

  VANTRA_INLINE float& operator[](int i) { return _m[i]; }
  VANTRA_INLINE const float& operator[](int i) const { return _m[i]; }
  VANTRA_INLINE float& operator()(int i) { return _m[i]; }
  VANTRA_INLINE const float& operator()(int i) const { return _m[i]; }
  VANTRA_INLINE float& operator()(int row, int col) { return _m[4 * row + col]; }
  VANTRA_INLINE const float& operator()(int row, int col) const { return _m[4 * row + col]; }
  VANTRA_INLINE operator float*() { return _m; }
  VANTRA_INLINE operator const float*() const { return _m; }

  bool operator==(const Matrix& b) const;
  VANTRA_INLINE bool operator!=(const Matrix& b) const { return !(*this == b); }
  bool isIdentity() const;

  VANTRA_INLINE Matrix operator*(const Matrix& b) const {
    Matrix out;
    MultMatrix(out, *this, b);
    return out;
  }
  Matrix operator*(float s) const;
  VANTRA_INLINE Matrix& operator*=(const Matrix& b) {
    MultMatrix(*this, *this, b);
    return *this;
  }
  Matrix& operator*=(float s);
  VANTRA_INLINE Matrix& multMatrix(const Matrix& b) { return *this *= b; }
  Matrix& negate();

  // Builders replace all sixteen elements; combine them by multiplication.
  void makeIdentity();
  Matrix& rotateX(float angle);
  Matrix& rotateY(float angle);
  Matrix& rotateZ(float angle);
  Matrix& rotateAxis(const Vector& axis, float angle);
  VANTRA_INLINE Matrix& rotateHPR(float heading, float pitch, float roll);
  Matrix& scale(float sx, float sy, float sz);
  Matrix& translate(const Vector& t);

  Matrix& transpose();
  // Exact only for rotation plus translation; nothing checks that.
  Matrix& inverse();
  Matrix& operator!();
  Matrix& orthogoNormalize();
  Matrix& lookAt(const Vector& target);
  Matrix& lookAlong(const Vector& direction);
  Matrix& rotateLookVectorInto(const Vector& v);
  Matrix& round();
  Matrix& zeroClamp();
  // Blends columns 0 to 2; column 3 of this keeps its previous values.
  Matrix& interpolateLinear(const Matrix& a, const Matrix& b, float t);
  void print(std::ofstream& out) const;

 private:
  // out may be a or b: the product is formed in registers before it is stored.
  VANTRA_INLINE static void MultMatrix(Matrix& out, const Matrix& a, const Matrix& b);
  // Each element as ((a0 * b0 + a1 * b1) + a2 * b2) + a3 * b3, rounded after
  // every operation: the product on processors without AVX and FMA.
  static void MultMatrixPlain(Matrix& out, const Matrix& a, const Matrix& b);

  float _m[16];
};

static_assert(sizeof(Matrix) == 64, "Matrix is sixteen packed floats");
static_assert(std::is_trivially_copyable<Matrix>::value, "Matrix is copied as raw floats");
static_assert(std::is_standard_layout<Matrix>::value,
              "Matrix shares the graphics interface's layout");

// Where the processor has AVX and FMA, each element is
// fma(a3, b3, fma(a2, b2, fma(a1, b1, a0 * b0))), two rows per 256-bit
// register. The instructions are written out in assembly so that they run
// inline in the caller's code even when the caller is compiled for the
// x86-64 baseline: a call into the library, or into a function compiled for
// AVX, costs more than the sixteen dot products, and intrinsics could not be
// inlined there. The registers the block uses are declared clobbered; when
// the caller is itself compiled without AVX, the block ends with vzeroupper
// so that the caller's SSE code pays no transition penalty.
VANTRA_INLINE void Matrix::MultMatrix(Matrix& out, const Matrix& a, const Matrix& b) {
#if defined(__x86_64__) && defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
  if (__builtin_cpu_supports("avx") && __builtin_cpu_supports("fma")) {
    typedef float Row __attribute__((vector_size(16)));
    Row row0, row1, row2, row3;
    asm("vbroadcastf128   (%[b]), %%ymm8\n\t"
        "vbroadcastf128 16(%[b]), %%ymm9\n\t"
        "vbroadcastf128 32(%[b]), %%ymm10\n\t"
        "vbroadcastf128 48(%[b]), %%ymm11\n\t"
        "vmovups   (%[a]), %%ymm12\n\t"
        "vpermilps $0x00, %%ymm12, %%ymm13\n\t"
        "vmulps      %%ymm8, %%ymm13, %%ymm14\n\t"
        "vpermilps $0x55, %%ymm12, %%ymm13\n\t"
        "vfmadd231ps %%ymm9, %%ymm13, %%ymm14\n\t"
        "vpermilps $0xAA, %%ymm12, %%ymm13\n\t"
        "vfmadd231ps %%ymm10, %%ymm13, %%ymm14\n\t"
        "vpermilps $0xFF, %%ymm12, %%ymm13\n\t"
        "vfmadd231ps %%ymm11, %%ymm13, %%ymm14\n\t"
        "vmovups 32(%[a]), %%ymm12\n\t"
        "vpermilps $0x00, %%ymm12, %%ymm13\n\t"
        "vmulps      %%ymm8, %%ymm13, %%ymm15\n\t"
        "vpermilps $0x55, %%ymm12, %%ymm13\n\t"
        "vfmadd231ps %%ymm9, %%ymm13, %%ymm15\n\t"
        "vpermilps $0xAA, %%ymm12, %%ymm13\n\t"
        "vfmadd231ps %%ymm10, %%ymm13, %%ymm15\n\t"
        "vpermilps $0xFF, %%ymm12, %%ymm13\n\t"
        "vfmadd231ps %%ymm11, %%ymm13, %%ymm15\n\t"
        "vmovaps %%xmm14, %[row0]\n\t"
        "vextractf128 $1, %%ymm14, %[row1]\n\t"
        "vmovaps %%xmm15, %[row2]\n\t"
        "vextractf128 $1, %%ymm15, %[row3]\n\t"
#if !defined(__AVX__)
        "vzeroupper\n\t"
#endif
        : [row0] "=x"(row0), [row1] "=x"(row1), [row2] "=x"(row2), [row3] "=x"(row3)
        : [a] "r"(a._m), [b] "r"(b._m), "m"(a._m), "m"(b._m)
        : "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
    __builtin_memcpy(out._m, &row0, sizeof row0);
    __builtin_memcpy(out._m + 4, &row1, sizeof row1);
    __builtin_memcpy(out._m + 8, &row2, sizeof row2);
    __builtin_memcpy(out._m + 12, &row3, sizeof row3);
    return;
  }
#endif
  MultMatrixPlain(out, a, b);
}

// Rz(roll) * Rx(pitch) * Ry(heading) multiplied out: roll first, then pitch,
// then heading. Inline because the call costs as much as the arithmetic; each
// sine and cosine pair is computed by one library call.
VANTRA_INLINE Matrix& Matrix::rotateHPR(float heading, float pitch, float roll) {
  const float ch = std::cos(heading), sh = std::sin(heading);
  const float cp = std::cos(pitch), sp = std::sin(pitch);
  const float cr = std::cos(roll), sr = std::sin(roll);
  float* e = _m;
  e[0] = cr * ch + sr * sp * sh, e[1] = sr * cp, e[2] = sr * sp * ch - cr * sh, e[3] = 0.0f;
  e[4] = cr * sp * sh - sr * ch, e[5] = cr * cp, e[6] = cr * sp * ch + sr * sh, e[7] = 0.0f;
  e[8] = cp * sh, e[9] = -sp, e[10] = cp * ch, e[11] = 0.0f;
  e[12] = 0.0f, e[13] = 0.0f, e[14] = 0.0f, e[15] = 1.0f;
  return *this;
}

// All twelve elements are read before anything is stored, so the compiler
// needs no aliasing checks and vectorises a loop of transforms across points.
VANTRA_INLINE Vector& Vector::transform(const Matrix& m) {
  const float m00 = m(0, 0), m01 = m(0, 1), m02 = m(0, 2);
  const float m10 = m(1, 0), m11 = m(1, 1), m12 = m(1, 2);
  const float m20 = m(2, 0), m21 = m(2, 1), m22 = m(2, 2);
  const float m30 = m(3, 0), m31 = m(3, 1), m32 = m(3, 2);
  const float px = x, py = y, pz = z;
  x = px * m00 + py * m10 + pz * m20 + m30;
  y = px * m01 + py * m11 + pz * m21 + m31;
  z = px * m02 + py * m12 + pz * m22 + m32;
  return *this;
}

}  // namespace vantra
