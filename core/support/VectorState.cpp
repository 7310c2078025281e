#include "support/VectorState.h"

#if defined(__x86_64__) || defined(__i386__)

namespace {

// Built for AVX, so that the compiler takes the instruction; called only
// where the processor has it (the build itself targets every x86-64).
__attribute__((target("avx"))) void zeroUpperHalves() { __builtin_ia32_vzeroupper(); }

bool processorHasAvx()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
}

// Asked once, as the program loads.
const bool hasAvx = processorHasAvx();

} // namespace

void VectorState::clean()
{
    if (hasAvx)
        zeroUpperHalves();
}

#else

void VectorState::clean() {}

#endif
