#pragma once

// Marks a benchmark's timed loop for callgrind, whose instruction counts
// repeat from run to run where a shared machine's wall times do not. Run a
// program under `valgrind --tool=callgrind`: each marked loop writes a dump
// of its own (every thread's cost during the loop, named after the loop and
// its iteration count), apart from the set-up. Without valgrind's header, or
// outside valgrind, the marks do nothing.

#include <string>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define CORVANTA_HAS_CALLGRIND 1
#endif

namespace CallgrindMarks {

inline void loopStarts()
{
#ifdef CORVANTA_HAS_CALLGRIND
    // A dump zeroes every thread's counts (zeroing alone would clear only
    // this thread's, and the pool's set-up work would stay in the loop's).
    CALLGRIND_DUMP_STATS_AT("set-up");
#endif
}

inline void loopEnded([[maybe_unused]] const std::string& name, [[maybe_unused]] long long iterations)
{
#ifdef CORVANTA_HAS_CALLGRIND
    const std::string label = name + " iterations=" + std::to_string(iterations);
    CALLGRIND_DUMP_STATS_AT(label.c_str());
#endif
}

} // namespace CallgrindMarks
