#pragma once

#include "spaceweather/Ionosonde.h"

#include <QList>

namespace BenchReadings {

// 60 stations spread like the real network: most in the northern
// mid-latitudes, some in the tropics and the south, a few near the poles.
// Always the same stations, so runs compare.
QList<IonosondeReading> sixty();

} // namespace BenchReadings
