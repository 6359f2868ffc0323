// Built for AVX2 and FMA, as a user's program compiled with -march=native
// is, and kept in its own executable so that no inline function compiled
// here can stand in for the baseline one elsewhere. The matrix product's
// assembly must then give the same bits and leave the caller's 256-bit
// registers as they were. The inline members written in plain arithmetic
// may be fused here; they must stay within the tolerance the README gives
// of the library's own copies, compiled for any x86-64.
#include <dlfcn.h>
#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

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

// The library's own copy of an inline member, as compiled into libvantra.so.
template <typename Function>
Function LibraryCopy(const char* symbol) {
  void* library = dlopen("libvantra.so.1", RTLD_NOW | RTLD_NOLOAD);
  void* address = library != nullptr ? dlsym(library, symbol) : nullptr;
  if (library != nullptr) dlclose(library);
  return reinterpret_cast<Function>(address);
}

// 2^-21: the README's tolerance, relative to the sum of the magnitudes of the terms that
// make up a result.
constexpr float kFusedTolerance = 1.0f / 2097152.0f;

TEST(InlineMembersInFmaCode, StayWithinTheDocumentedToleranceOfTheLibrarysCopies) {
  using Transform = Vector& (*)(Vector*, const Matrix&);
  using RotateHpr = Matrix& (*)(Matrix*, float, float, float);
  using Slerp = Quat& (*)(Quat*, const Quat&, const Quat&, float);
  const auto transform = LibraryCopy<Transform>("_ZN6vantra6Vector9transformERKNS_6MatrixE");
  const auto rotateHpr = LibraryCopy<RotateHpr>("_ZN6vantra6Matrix9rotateHPREfff");
  const auto slerp = LibraryCopy<Slerp>("_ZN6vantra4Quat20interpolateSphericalERKS0_S2_f");
  ASSERT_TRUE(transform && rotateHpr && slerp) << "the library exports its inline members";

  Random random(23);
  int differing = 0;
  for (int i = 0; i < 2000; ++i) {
    Matrix m;
    for (int e = 0; e < 16; ++e) m[e] = random.uniform(-100, 100);
    const Vector p = random.vector(1000);
    Vector inlined = p, library = p;
    inlined.transform(m);
    transform(&library, m);
    const float terms[3] = {std::fabs(p.x * m(0, 0)) + std::fabs(p.y * m(1, 0)) +
                                std::fabs(p.z * m(2, 0)) + std::fabs(m(3, 0)),
                            std::fabs(p.x * m(0, 1)) + std::fabs(p.y * m(1, 1)) +
                                std::fabs(p.z * m(2, 1)) + std::fabs(m(3, 1)),
                            std::fabs(p.x * m(0, 2)) + std::fabs(p.y * m(1, 2)) +
                                std::fabs(p.z * m(2, 2)) + std::fabs(m(3, 2))};
    EXPECT_LE(std::fabs(inlined.x - library.x), kFusedTolerance * terms[0]) << "transform " << i;
    EXPECT_LE(std::fabs(inlined.y - library.y), kFusedTolerance * terms[1]) << "transform " << i;
    EXPECT_LE(std::fabs(inlined.z - library.z), kFusedTolerance * terms[2]) << "transform " << i;
    differing += !SameBits(inlined, library);

    // Every element of a rotation is a sum of terms of at most 1 each, two at most.
    const float h = random.angle(), pitch = random.angle(), roll = random.angle();
    Matrix inlinedRotation, libraryRotation;
    inlinedRotation.rotateHPR(h, pitch, roll);
    rotateHpr(&libraryRotation, h, pitch, roll);
    EXPECT_TRUE(Near(inlinedRotation, libraryRotation, 2.0f * kFusedTolerance))
        << "rotateHPR " << i;

    // Between unit quaternions the weights are at most 1 and the components too.
    Quat a(random.angle(), random.angle(), random.angle());
    Quat b(random.angle(), random.angle(), random.angle());
    const float t = random.uniform(0, 1);
    Quat inlinedBlend, libraryBlend;
    inlinedBlend.interpolateSpherical(a, b, t);
    slerp(&libraryBlend, a, b, t);
    const float blendDifference = std::max(std::max(std::fabs(inlinedBlend.x - libraryBlend.x),
                                                    std::fabs(inlinedBlend.y - libraryBlend.y)),
                                           std::max(std::fabs(inlinedBlend.z - libraryBlend.z),
                                                    std::fabs(inlinedBlend.w - libraryBlend.w)));
    EXPECT_LE(blendDifference, 2.0f * kFusedTolerance) << "interpolateSpherical " << i;
  }
  std::printf("transform: %d of 2000 results differ from the library's copy\n", differing);
}

// The box test may classify a corner differently only where its distance from the plane is
// within the tolerance of the terms of that distance.
TEST(InlineMembersInFmaCode, BoxTestDiffersOnlyForCornersOnThePlane) {
  using BoxTest = int (*)(const BoundingBox*, const Plane&, float*);
  const auto boxTest =
      LibraryCopy<BoxTest>("_ZNK6vantra11BoundingBox25testIntersectionWithPlaneERKNS_5PlaneEPf");
  ASSERT_TRUE(boxTest);
  Random random(29);
  int differing = 0;
  for (int i = 0; i < 20000; ++i) {
    const Vector low = random.vector(100);
    const BoundingBox box(
        low, low + Vector(random.uniform(0, 10), random.uniform(0, 10), random.uniform(0, 10)));
    Vector normal = random.vector(1);
    normal.normalize();
    // Planes through a corner, where rounding decides the side.
    const Vector& through = box.corner(i % 8);
    const float d = -(normal.x * through.x + normal.y * through.y + normal.z * through.z);
    const Plane plane(normal, d);
    if (box.testIntersectionWithPlane(plane, nullptr) == boxTest(&box, plane, nullptr)) continue;
    ++differing;
    float nearest = INFINITY;
    for (int c = 0; c < 8; ++c) {
      const Vector& k = box.corner(c);
      const float terms = std::fabs(normal.x * k.x) + std::fabs(normal.y * k.y) +
                          std::fabs(normal.z * k.z) + std::fabs(d);
      nearest = std::min(nearest, std::fabs(plane.distanceFromPoint(k)) / terms);
    }
    EXPECT_LE(nearest, kFusedTolerance) << "box " << i;
  }
  std::printf("box test: %d of 20000 planes through a corner classified differently\n", differing);
}

}  // namespace
}  // namespace vantra
