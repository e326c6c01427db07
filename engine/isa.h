// The instruction sets the block loop and the generator are built for, chosen
// at run time: the build stays portable (no -march), and a processor with
// wider registers runs wider code. Every set produces the same generator words;
// the block loop's sines and cosines come from the C library's vector math
// where a set has it.
#pragma once

#include <cstdint>

namespace korvex {

enum class Isa { base, avx2, avx512 };

struct Block;
struct SampleSetup;
struct RunParameters;
struct RunTallies;

using Regenerate = void (*)(std::uint32_t* mt, std::uint32_t* out);
using SampleKernel = void (*)(Block& b, const SampleSetup& s);
using DetectKernel = void (*)(Block& b, const RunParameters& prm);
// first: the dataset index of the block's first emission.
using TallyKernel = void (*)(Block& b, int n, RunTallies& t, std::uint64_t first);

struct KernelSet {
    const char* name;
    Regenerate regenerate;
    SampleKernel sample[3];  // by SourceKind
    DetectKernel detect[5];  // by DetectorKind
    TallyKernel tally[5];    // by DetectorKind
    // Sines and cosines of blocksize angles, as the sampler takes them.
    void (*sines)(const double* x, double* s, double* c);
};

bool isasupported(Isa isa);
Isa bestisa();
const KernelSet& kernelset(Isa isa);

namespace base {
const KernelSet& kernels();
}
namespace avx2 {
const KernelSet& kernels();
}
namespace avx512 {
const KernelSet& kernels();
}

}  // namespace korvex
