#include "point_kernels.h"

#include <cstring>

#include "cpu_features.h"

namespace vantra {
namespace kernels {

namespace {

// The matrix is copied first, so that it may even lie in the output array.
void TransformPlain(Vector* out, const Vector* in, int count, const Matrix& m) {
  const Matrix copy = m;
  for (int i = 0; i < count; ++i) {
    out[i] = in[i];
    out[i].transform(copy);
  }
}

#if defined(VANTRA_X86_KERNELS)
#define VANTRA_AVX_FMA __attribute__((target("avx,fma")))

// The matrix's elements m[r][c] for r < 4 and c < 3, each in all eight lanes.
struct EightPointKernel {
  __m256 m[4][3];
};

VANTRA_AVX_FMA EightPointKernel MakeEightPointKernel(const Matrix& m) {
  EightPointKernel k;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c) k.m[r][c] = _mm256_set1_ps(m(r, c));
  return k;
}

// Eight points are 24 floats. The three registers loaded below hold the 12
// floats of points 0 to 3 in their low halves and those of points 4 to 7 in
// their high halves. Shuffles within the halves turn them into one vector of
// the eight x, one of the y and one of the z values, each output component
// is x * m[0][c] + y * m[1][c] + z * m[2][c] + m[3][c] as three fused
// multiply-adds, and the reverse shuffles interleave the results again. The
// halves are loaded and stored on their own rather than regrouped with
// cross-half permutes, which share one port with the shuffles on many
// processors. Everything is read before anything is written, so out may be
// in.
VANTRA_AVX_FMA __attribute__((always_inline)) inline void TransformEight(
    float* out, const float* in, const EightPointKernel& k) {
  const __m256 xyzx = _mm256_loadu2_m128(in + 12, in);
  const __m256 yzxy = _mm256_loadu2_m128(in + 16, in + 4);
  const __m256 zxyz = _mm256_loadu2_m128(in + 20, in + 8);
  const __m256 x2y2x3y3 = _mm256_shuffle_ps(yzxy, zxyz, _MM_SHUFFLE(2, 1, 3, 2));
  const __m256 y0z0y1z1 = _mm256_shuffle_ps(xyzx, yzxy, _MM_SHUFFLE(1, 0, 2, 1));
  const __m256 x = _mm256_shuffle_ps(xyzx, x2y2x3y3, _MM_SHUFFLE(2, 0, 3, 0));
  const __m256 y = _mm256_shuffle_ps(y0z0y1z1, x2y2x3y3, _MM_SHUFFLE(3, 1, 2, 0));
  const __m256 z = _mm256_shuffle_ps(y0z0y1z1, zxyz, _MM_SHUFFLE(3, 0, 3, 1));
  __m256 o[3];
  for (int col = 0; col < 3; ++col) {
    const __m256 sum = _mm256_fmadd_ps(x, k.m[0][col], k.m[3][col]);
    o[col] = _mm256_fmadd_ps(z, k.m[2][col], _mm256_fmadd_ps(y, k.m[1][col], sum));
  }
  const __m256 x0x2y0y2 = _mm256_shuffle_ps(o[0], o[1], _MM_SHUFFLE(2, 0, 2, 0));
  const __m256 y1y3z1z3 = _mm256_shuffle_ps(o[1], o[2], _MM_SHUFFLE(3, 1, 3, 1));
  const __m256 z0z2x1x3 = _mm256_shuffle_ps(o[2], o[0], _MM_SHUFFLE(3, 1, 2, 0));
  _mm256_storeu2_m128(out + 12, out,
                      _mm256_shuffle_ps(x0x2y0y2, z0z2x1x3, _MM_SHUFFLE(2, 0, 2, 0)));
  _mm256_storeu2_m128(out + 16, out + 4,
                      _mm256_shuffle_ps(y1y3z1z3, x0x2y0y2, _MM_SHUFFLE(3, 1, 2, 0)));
  _mm256_storeu2_m128(out + 20, out + 8,
                      _mm256_shuffle_ps(z0z2x1x3, y1y3z1z3, _MM_SHUFFLE(3, 1, 3, 1)));
}

// The last few points go through a padded copy, so that they take the same
// arithmetic as the rest without reading or writing past the arrays.
VANTRA_AVX_FMA void TransformAvxFma(Vector* out, const Vector* in, int count, const Matrix& m) {
  const EightPointKernel k = MakeEightPointKernel(m);
  int done = 0;
  for (; done + 8 <= count; done += 8) TransformEight(&out[done].x, &in[done].x, k);
  if (done < count) {
    float last[24] = {};
    const size_t bytes = sizeof(Vector) * static_cast<size_t>(count - done);
    std::memcpy(last, &in[done], bytes);
    TransformEight(last, last, k);
    std::memcpy(&out[done], last, bytes);
  }
}

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

bool Supported(PointKernel kernel) {
  switch (kernel) {
    case PointKernel::kPlain:
      return true;
#if defined(VANTRA_X86_KERNELS)
    case PointKernel::kAvxFma:
      return cpu::HasAvxFma();
    case PointKernel::kAvx512:
      return cpu::HasAvx512();
#endif
    default:
      return false;
  }
}

PointKernel Widest() {
  if (Supported(PointKernel::kAvx512)) return PointKernel::kAvx512;
  if (Supported(PointKernel::kAvxFma)) return PointKernel::kAvxFma;
  return PointKernel::kPlain;
}

void TransformPoints(PointKernel kernel, Vector* out, const Vector* in, int count,
                     const Matrix& m) {
  switch (kernel) {
#if defined(VANTRA_X86_KERNELS)
    case PointKernel::kAvxFma:
      return TransformAvxFma(out, in, count, m);
    case PointKernel::kAvx512:
      return TransformAvx512(out, in, count, m);
#endif
    default:
      return TransformPlain(out, in, count, m);
  }
}

}  // namespace kernels
}  // namespace vantra
