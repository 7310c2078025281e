#pragma once

#include <functional>

// Runs the calling thread's events until `done()` holds or `timeoutMs`
// passed; returns whether it holds. For tests that wait on sockets, timers
// and queued signals without sleeping a fixed time. The default is only the
// last bound of a wait that should end long before: the suite also runs
// sanitized, on busy machines and on small boards, many times slower.
inline constexpr int patientMs = 60000;
bool waitUntil(const std::function<bool()>& done, int timeoutMs = patientMs);
