#pragma once

#include "vantra/matrix.h"
#include "vantra/vector.h"

// The kernels behind Vector::TransformPoints, one per vector unit. Not
// installed: the library picks the widest one the processor has, and the
// tests call each one directly so that every kernel runs on any machine that
// has it.
namespace vantra {
namespace kernels {

enum class PointKernel { kPlain, kAvxFma, kAvx512 };

bool Supported(PointKernel kernel);
PointKernel Widest();

// Vector::TransformPoints with the given kernel, which must be supported.
// The wide kernels compute x * m[0][c] + y * m[1][c] + z * m[2][c] + m[3][c]
// as three fused multiply-adds, so both give the same bits.
void TransformPoints(PointKernel kernel, Vector* out, const Vector* in, int count, const Matrix& m);

}  // namespace kernels
}  // namespace vantra
