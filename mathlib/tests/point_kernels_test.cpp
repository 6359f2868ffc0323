#include "point_kernels.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "test_util.h"

namespace vantra {
namespace kernels {

const char* KernelName(PointKernel kernel) {
  static const char* const kNames[] = {"Plain", "AvxFma", "Avx512"};
  return kNames[static_cast<int>(kernel)];
}

void PrintTo(PointKernel kernel, std::ostream* out) { *out << KernelName(kernel); }

}  // namespace kernels

namespace {

using kernels::PointKernel;

// What each kernel computes for one point: the plain one Vector::transform,
// the wide ones three fused multiply-adds per component.
Vector Expected(PointKernel kernel, const Vector& p, const Matrix& m) {
  if (kernel == PointKernel::kPlain) {
    Vector q = p;
    return q.transform(m);
  }
  float c[3];
  for (int k = 0; k < 3; ++k)
    c[k] = std::fma(p.z, m(2, k), std::fma(p.y, m(1, k), std::fma(p.x, m(0, k), m(3, k))));
  return Vector(c[0], c[1], c[2]);
}

class PointKernels : public ::testing::TestWithParam<PointKernel> {};

// Every count from an empty batch to three groups of sixteen and a partial
// one, so that whole groups of eight and sixteen, partial groups and single
// points all occur, out of place and in place.
TEST_P(PointKernels, TransformEveryPointExactlyAndNothingElse) {
  const PointKernel kernel = GetParam();
  if (!kernels::Supported(kernel)) GTEST_SKIP() << "this processor lacks the kernel's instructions";
  Random random(11);
  Matrix m;
  m.rotateHPR(0.4f, -1.1f, 2.0f);
  m(3, 0) = 7, m(3, 1) = -3, m(3, 2) = 12;
  m(0, 3) = 9, m(3, 3) = 4;  // column 3 has no effect
  const Vector sentinel(-123.0f, 456.0f, 789.0f);
  for (int count = 0; count <= 53; ++count) {
    std::vector<Vector> in(count);
    for (Vector& p : in) p = random.vector(100);
    std::vector<Vector> out(count + 1, sentinel);
    kernels::TransformPoints(kernel, out.data(), in.data(), count, m);
    std::vector<Vector> inPlace = in;
    inPlace.push_back(sentinel);
    kernels::TransformPoints(kernel, inPlace.data(), inPlace.data(), count, m);
    for (int i = 0; i < count; ++i) {
      ASSERT_TRUE(SameBits(out[i], Expected(kernel, in[i], m))) << "point " << i << " of " << count;
      ASSERT_TRUE(SameBits(inPlace[i], out[i])) << "in place, point " << i << " of " << count;
    }
    EXPECT_TRUE(SameBits(out[count], sentinel)) << "written past " << count << " points";
    EXPECT_TRUE(SameBits(inPlace[count], sentinel)) << "in place, written past " << count;
  }
}

INSTANTIATE_TEST_SUITE_P(EachKernel, PointKernels,
                         ::testing::Values(PointKernel::kPlain, PointKernel::kAvxFma,
                                           PointKernel::kAvx512),
                         [](const ::testing::TestParamInfo<PointKernel>& info) {
                           return std::string(kernels::KernelName(info.param));
                         });

TEST(PointKernels, TheWidestSupportedKernelIsChosen) {
  const PointKernel widest = kernels::Widest();
  EXPECT_TRUE(kernels::Supported(widest));
  for (PointKernel wider = widest; wider != PointKernel::kAvx512;) {
    wider = static_cast<PointKernel>(static_cast<int>(wider) + 1);
    EXPECT_FALSE(kernels::Supported(wider)) << static_cast<int>(wider);
  }
}

}  // namespace
}  // namespace vantra
