#pragma once

#include "rotator/RotatorWorker.h"

// Every pause of a rotator worker short, so no test sleeps through the real
// ones (a second between polls, 0.8 s before a stop).
inline RotatorTimings fastRotatorTimings()
{
    RotatorTimings t;
    t.connectTimeout = 1.0;
    t.retryPause = 0.2;
    t.readTimeout = 0.3;
    t.idlePoll = 0.15;
    t.turningPoll = 0.1;
    t.stopRampPause = 0.3;
    return t;
}
