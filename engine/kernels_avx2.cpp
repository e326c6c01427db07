// Block kernels for processors with AVX2, chosen at run time. The sines and
// cosines come four at a time from glibc's vector math library (libmvec),
// within a few ulp of the scalar functions.
#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/blockloop.h"
#include "engine/ray.h"
#include "engine/sampler.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx2")

#ifdef KORVEX_LIBMVEC
extern "C" __m256d _ZGVdN4v_sin(__m256d x);
extern "C" __m256d _ZGVdN4v_cos(__m256d x);
#endif

namespace korvex::avx2 {

static constexpr const char* kernelsetname = "avx2";

static void sines(const double* x, double* s, double* c) {
#ifdef KORVEX_LIBMVEC
    for (int i = 0; i < blocksize; i += 4) {
        const __m256d v = _mm256_load_pd(x + i);
        _mm256_store_pd(s + i, _ZGVdN4v_sin(v));
        _mm256_store_pd(c + i, _ZGVdN4v_cos(v));
    }
#else
    for (int i = 0; i < blocksize; ++i) {
        s[i] = std::sin(x[i]);
        c[i] = std::cos(x[i]);
    }
#endif
}

#include "engine/kernels.inc"

}  // namespace korvex::avx2

#pragma GCC pop_options
#endif
