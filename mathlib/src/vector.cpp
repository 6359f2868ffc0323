#include "vantra/vector.h"

#include <cmath>

#include "cpu_features.h"
#include "numeric_rules.h"

namespace vantra {

// The two squared lengths are multiplied first so that one square root suffices.
float Vector::angleBetween(const Vector& v) const {
  return std::acos((*this % v) / std::sqrt(magnitudeSquare() * v.magnitudeSquare()));
}

Vector& Vector::interpolateCosine(const Vector& a, const Vector& b, float t) {
  const float k = 1.0f - std::cos(t * 3.1415927f);
  x = a.x + (b.x - a.x) * k * 0.5f;
  y = a.y + (b.y - a.y) * k * 0.5f;
  z = a.z + (b.z - a.z) * k * 0.5f;
  return *this;
}

namespace {

#if defined(VANTRA_X86_KERNELS)
#define VANTRA_AVX512 __attribute__((target("avx512f")))

// Bit j is set where float from + j lies before end.
VANTRA_AVX512 __attribute__((always_inline)) inline __mmask16 FloatsBefore(int from, int end) {
  const int n = end - from;
  return n >= 16 ? __mmask16(0xFFFF) : n <= 0 ? __mmask16(0) : __mmask16((1u << n) - 1);
}

// Sixteen points are 48 floats, written back as three blocks of 16. Lane j
// of the block that starts at float s holds component (s + j) mod 3 of point
// (s + j) / 3. A block spans six points at most, so the x values its lanes
// need lie within one 16-float load that starts at its first point's x, and
// one permute lines them up; likewise y and z. Each lane's sum is
// x * m[0][c] + y * m[1][c] + z * m[2][c] + m[3][c] for its component c.
struct SixteenPointKernel {
  __m512 columns[3][4];
  __m512i index[3];
};

VANTRA_AVX512 SixteenPointKernel MakeKernel(const Matrix& m) {
  SixteenPointKernel k;
  for (int b = 0; b < 3; ++b) {
    const int start = 16 * b, firstPoint = start / 3;
    int lanes[16];
    for (int j = 0; j < 16; ++j) lanes[j] = 3 * ((start + j) / 3 - firstPoint);
    k.index[b] = _mm512_loadu_si512(lanes);
    for (int r = 0; r < 4; ++r) {
      float values[16];
      for (int j = 0; j < 16; ++j) values[j] = m(r, (start + j) % 3);
      k.columns[b][r] = _mm512_loadu_ps(values);
    }
  }
  return k;
}

// Reads and writes only the first `floats` floats of the group, so a partial
// last group stays within the arrays and goes through the same arithmetic.
// The whole group is read before it is written, so out may be in.
VANTRA_AVX512 __attribute__((always_inline)) inline void TransformGroup(
    float* out, const float* in, int floats, const SixteenPointKernel& k) {
  __m512 results[3];
  for (int b = 0; b < 3; ++b) {
    const int first = 3 * (16 * b / 3);
    __m512 coordinates[3];
    for (int t = 0; t < 3; ++t) {
      const __m512 loaded = _mm512_maskz_loadu_ps(FloatsBefore(first + t, floats), in + first + t);
      coordinates[t] = _mm512_maskz_permutexvar_ps(0xFFFF, k.index[b], loaded);
    }
    const __m512* c = k.columns[b];
    __m512 sum = _mm512_fmadd_ps(coordinates[0], c[0], c[3]);
    sum = _mm512_fmadd_ps(coordinates[1], c[1], sum);
    results[b] = _mm512_fmadd_ps(coordinates[2], c[2], sum);
  }
  for (int b = 0; b < 3; ++b)
    _mm512_mask_storeu_ps(out + 16 * b, FloatsBefore(16 * b, floats), results[b]);
}

VANTRA_AVX512 void TransformAvx512(Vector* out, const Vector* in, int count, const Matrix& m) {
  const SixteenPointKernel k = MakeKernel(m);
  int done = 0;
  for (; done + 16 <= count; done += 16) TransformGroup(&out[done].x, &in[done].x, 48, k);
  if (done < count) TransformGroup(&out[done].x, &in[done].x, 3 * (count - done), k);
}
#endif

}  // namespace

void Vector::TransformPoints(Vector* out, const Vector* in, int count, const Matrix& m) {
#if defined(VANTRA_X86_KERNELS)
  if (cpu::HasAvx512()) return TransformAvx512(out, in, count, m);
#endif
  for (int i = 0; i < count; ++i) {
    out[i] = in[i];
    out[i].transform(m);
  }
}

void Vector::round() {
  x = rules::RoundThreeDecimals(x);
  y = rules::RoundThreeDecimals(y);
  z = rules::RoundThreeDecimals(z);
}

void Vector::zeroClamp() {
  x = rules::ZeroClamp(x);
  y = rules::ZeroClamp(y);
  z = rules::ZeroClamp(z);
}

}  // namespace vantra
