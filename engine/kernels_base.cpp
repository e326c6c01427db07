// Block kernels for any x86-64 (or other) processor: the sines and cosines
// are the C library's scalar ones, so the tallies equal the plain loop's.
#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/blockloop.h"
#include "engine/ray.h"
#include "engine/sampler.h"

namespace korvex::base {

static constexpr const char* kernelsetname = "base";

static void sines(const double* x, double* s, double* c) {
    for (int i = 0; i < blocksize; ++i) {
        s[i] = std::sin(x[i]);
        c[i] = std::cos(x[i]);
    }
}

#include "engine/kernels.inc"

}  // namespace korvex::base
