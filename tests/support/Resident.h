#pragma once

#include <QtGlobal>

// The process's resident memory ("VmRSS:") or its peak since the last reset
// ("VmHWM:"), in bytes, from /proc/self/status. With `resetPeak` the peak
// starts again from what is resident now, so a test can bound what one
// piece of work added at its most.
qint64 resident(const char* figure, bool resetPeak = false);
