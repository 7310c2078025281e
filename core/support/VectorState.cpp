#include "support/VectorState.h"

#if defined(__x86_64__) || defined(__i386__)

// Built for AVX, so that the compiler takes the instruction; it runs only
// where the processor has it (the build itself targets every x86-64). The
// question costs a load: libgcc answers it before any of the program's own
// static initialisation, which may already hash a string and call this.
__attribute__((target("avx"))) void VectorState::clean()
{
    if (__builtin_cpu_supports("avx"))
        __builtin_ia32_vzeroupper();
}

#else

void VectorState::clean() {}

#endif
