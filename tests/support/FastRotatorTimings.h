#pragma once

#include "rotator/RotatorWorker.h"

// Every pause of a rotator worker short, so no test sleeps through the real
// ones (a second between polls, 0.8 s before a stop). The time-outs stay
// long enough that a controller or daemon that answers is never taken for
// a silent one on a slow machine.
inline RotatorTimings fastRotatorTimings()
{
    RotatorTimings t;
    t.connectTimeout = 5.0;
    t.retryPause = 0.2;
    t.readTimeout = 1.0;
    t.idlePoll = 0.15;
    t.turningPoll = 0.1;
    t.stopRampPause = 0.3;
    return t;
}
