#include "support/VectorState.h"

#if defined(__x86_64__) || defined(__i386__)

namespace {

// Built for AVX, so that the compiler takes the instruction; called only
// where the processor has it (the build itself targets every x86-64).
__attribute__((target("avx"))) void zeroUpperHalves() { __builtin_ia32_vzeroupper(); }

// Asked once, on the first call: that may come from another file's static
// initialisation, before any global of this one would be set.
bool processorHasAvx()
{
    static const bool hasAvx = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx");
    }();
    return hasAvx;
}

} // namespace

void VectorState::clean()
{
    if (processorHasAvx())
        zeroUpperHalves();
}

#else

void VectorState::clean() {}

#endif
