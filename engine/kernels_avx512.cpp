// Block kernels for processors with AVX-512 (F, DQ, VL), chosen at run time.
// The sines and cosines come eight at a time from glibc's vector math library
// (libmvec), within a few ulp of the scalar functions.
#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/blockloop.h"
#include "engine/ray.h"
#include "engine/sampler.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq,avx512vl,prefer-vector-width=512")

#ifdef KORVEX_LIBMVEC
extern "C" __m512d _ZGVeN8v_sin(__m512d x);
extern "C" __m512d _ZGVeN8v_cos(__m512d x);
#endif

namespace korvex::avx512 {

static constexpr const char* kernelsetname = "avx512";

static void sines(const double* x, double* s, double* c) {
#ifdef KORVEX_LIBMVEC
    for (int i = 0; i < blocksize; i += 8) {
        const __m512d v = _mm512_load_pd(x + i);
        _mm512_store_pd(s + i, _ZGVeN8v_sin(v));
        _mm512_store_pd(c + i, _ZGVeN8v_cos(v));
    }
#else
    for (int i = 0; i < blocksize; ++i) {
        s[i] = std::sin(x[i]);
        c[i] = std::cos(x[i]);
    }
#endif
}

#include "engine/kernels.inc"

}  // namespace korvex::avx512

#pragma GCC pop_options
#endif
