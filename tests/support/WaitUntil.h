#pragma once

#include <functional>

// Runs the calling thread's events until `done()` holds or `timeoutMs`
// passed; returns whether it holds. For tests that wait on sockets, timers
// and queued signals without sleeping a fixed time.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
