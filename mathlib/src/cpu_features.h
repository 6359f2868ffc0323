#pragma once

// One build of the library runs on every x86-64 processor: the hottest
// kernels come in a baseline form and in a wider form (AVX with FMA, or
// AVX-512) chosen per call. Each check reads a word that the runtime fills
// in once at load time.
#if defined(__x86_64__)
#define VANTRA_X86_KERNELS 1
#include <immintrin.h>
#endif

namespace vantra {
namespace cpu {

#if defined(VANTRA_X86_KERNELS)
inline bool HasAvxFma() { return __builtin_cpu_supports("avx") && __builtin_cpu_supports("fma"); }
inline bool HasAvx512() { return __builtin_cpu_supports("avx512f"); }
#endif

}  // namespace cpu
}  // namespace vantra
