// Loaded into a program by scripts/dirty-state: samples where the program
// spends its CPU time and whether the upper halves of the vector registers
// were in use ("dirty") at that moment. The kernel saves the interrupted
// state into the signal frame with XSAVE, whose header says which parts of
// the state were in use, so the answer holds for the instruction the sample
// landed on, on any x86-64 processor with AVX, whether or not that
// processor pays for the dirty state.
//
// At exit it writes one line per sampled address to DIRTY_STATE_OUT:
//   <samples> <dirty samples> <object file> <offset in it>
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <ucontext.h>

enum { maxSamples = 1 << 22 };

static uintptr_t addresses[maxSamples];
static unsigned char dirty[maxSamples];
static atomic_long taken;

// The x86-64 signal frame: the 512 bytes of the legacy area, whose last
// 48 bytes say whether an XSAVE header follows, then that header.
static int upperHalvesInUse(const ucontext_t* context)
{
    const unsigned char* area = (const unsigned char*)context->uc_mcontext.fpregs;
    uint32_t magic;
    uint64_t inUse;
    if (!area)
        return 0;
    memcpy(&magic, area + 464, sizeof magic);
    if (magic != 0x46505853u) // FP_XSTATE_MAGIC1: the XSAVE header is there
        return 0;
    memcpy(&inUse, area + 512, sizeof inUse);
    // Bit 2: the upper halves of ymm0–15; bit 6: the upper halves of zmm0–15.
    return (inUse & ((1u << 2) | (1u << 6))) != 0;
}

static void sample(int, siginfo_t*, void* context)
{
    const long i = atomic_fetch_add(&taken, 1);
    if (i >= maxSamples)
        return;
    const ucontext_t* c = context;
    addresses[i] = (uintptr_t)c->uc_mcontext.gregs[REG_RIP];
    dirty[i] = (unsigned char)upperHalvesInUse(c);
}

static int byAddress(const void* a, const void* b)
{
    const uintptr_t x = addresses[*(const long*)a], y = addresses[*(const long*)b];
    return (x > y) - (x < y);
}

__attribute__((destructor)) static void report(void)
{
    static atomic_int reported;
    if (atomic_exchange(&reported, 1))
        return;
    const struct itimerval off = { 0 };
    setitimer(ITIMER_PROF, &off, NULL);
    const char* path = getenv("DIRTY_STATE_OUT");
    FILE* out = path ? fopen(path, "a") : NULL;
    if (!out)
        return;
    const long n = taken < maxSamples ? taken : maxSamples;
    long* order = malloc(sizeof(long) * (size_t)(n ? n : 1));
    for (long i = 0; i < n; ++i)
        order[i] = i;
    qsort(order, (size_t)n, sizeof(long), byAddress);
    for (long i = 0; i < n;) {
        const uintptr_t at = addresses[order[i]];
        long count = 0, dirtyCount = 0;
        for (; i < n && addresses[order[i]] == at; ++i, ++count)
            dirtyCount += dirty[order[i]];
        Dl_info info;
        if (dladdr((void*)at, &info) && info.dli_fname)
            fprintf(out, "%ld %ld %s 0x%lx\n", count, dirtyCount, info.dli_fname,
                    (unsigned long)(at - (uintptr_t)info.dli_fbase));
        else
            fprintf(out, "%ld %ld ? 0x%lx\n", count, dirtyCount, (unsigned long)at);
    }
    free(order);
    fclose(out);
}

// A program that runs until it is told to stop (the application itself)
// reports when it is: `timeout 20 scripts/dirty-state build/bin/corvanta`.
static void stop(int signal)
{
    report();
    sigaction(signal, &(struct sigaction) { .sa_handler = SIG_DFL }, NULL);
    raise(signal);
}

__attribute__((constructor)) static void start(void)
{
    // Only the program asked about: the variables are not passed on.
    unsetenv("LD_PRELOAD");
    struct sigaction action = { 0 };
    action.sa_sigaction = sample;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigaction(SIGPROF, &action, NULL);
    sigaction(SIGTERM, &(struct sigaction) { .sa_handler = stop }, NULL);
    sigaction(SIGINT, &(struct sigaction) { .sa_handler = stop }, NULL);
    const long micros = getenv("DIRTY_STATE_INTERVAL_US") ? atol(getenv("DIRTY_STATE_INTERVAL_US")) : 1000;
    const struct itimerval every = { { 0, micros }, { 0, micros } };
    setitimer(ITIMER_PROF, &every, NULL);
}
