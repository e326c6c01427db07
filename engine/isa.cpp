#include "engine/isa.h"

namespace korvex {

bool isasupported(Isa isa) {
#if defined(__x86_64__) && defined(__GNUC__)
    switch (isa) {
        case Isa::base: return true;
        case Isa::avx2: return __builtin_cpu_supports("avx2");
        case Isa::avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                   __builtin_cpu_supports("avx512vl");
    }
    return false;
#else
    return isa == Isa::base;
#endif
}

Isa bestisa() {
    if (isasupported(Isa::avx512)) return Isa::avx512;
    if (isasupported(Isa::avx2)) return Isa::avx2;
    return Isa::base;
}

const KernelSet& kernelset(Isa isa) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (isa == Isa::avx512) return avx512::kernels();
    if (isa == Isa::avx2) return avx2::kernels();
#endif
    (void)isa;
    return base::kernels();
}

}  // namespace korvex
