#pragma once

#include "cluster/DXClusterClient.h"

#include <chrono>

// The cluster client's pauses a hundredth of their length, so no test
// sleeps through the real ones; its time-outs, which a sanitized run on a
// busy machine must not outrun with a local peer that answers, as long as
// in the application. A test of a time-out sets its own.
inline DXClusterClient::Timing fastClusterTiming()
{
    DXClusterClient::Timing t = DXClusterClient::Timing {}.scaled(0.01);
    const DXClusterClient::Timing full;
    t.connectTimeout = full.connectTimeout;
    t.countryFileTimeout = full.countryFileTimeout;
    t.countryFileLimit = full.countryFileLimit;
    return t;
}
