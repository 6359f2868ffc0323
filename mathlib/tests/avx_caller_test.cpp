// Built for AVX2 and FMA, as a user's program compiled with -march=native
// is, and kept in its own executable so that no inline function compiled
// here can stand in for the baseline one elsewhere. The matrix product's
// assembly must then give the same bits and leave the caller's 256-bit
// registers as they were.
#include <immintrin.h>

#include <cmath>

#include "test_util.h"

namespace vantra {
namespace {

bool HasAvx2Fma() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }

TEST(MatrixProductInAvxCode, KeepsTheCallersVectorRegisters) {
  if (!HasAvx2Fma()) GTEST_SKIP() << "the processor has no AVX2 and FMA";
  Random random(14);
  constexpr int kCount = 100;
  Matrix a[kCount], b[kCount], products[kCount];
  for (int i = 0; i < kCount; ++i)
    for (int e = 0; e < 16; ++e)
      a[i][e] = random.uniform(-10, 10), b[i][e] = random.uniform(-10, 10);
  float values[8];
  for (float& v : values) v = std::floor(random.uniform(1, 100));  // sums stay exact
  // Live in a 256-bit register across the products, with no call between
  // them that would make the compiler save it: a stray vzeroupper would clear
  // its upper half.
  const __m256 live = _mm256_loadu_ps(values);
  __m256 sum = live;
  for (int i = 0; i < kCount; ++i) {
    products[i] = a[i] * b[i];
    sum = _mm256_add_ps(sum, live);
  }
  for (int i = 0; i < kCount; ++i)
    ASSERT_TRUE(SameBits(products[i], ExpectedProduct(a[i], b[i]))) << "case " << i;
  float upper[8];
  _mm256_storeu_ps(upper, sum);
  for (int j = 0; j < 8; ++j) EXPECT_EQ(upper[j], values[j] * (kCount + 1)) << "lane " << j;
}

}  // namespace
}  // namespace vantra
