#include "support/BenchReadings.h"

#include <random>

namespace BenchReadings {

QList<IonosondeReading> sixty()
{
    std::mt19937 random(20260818);
    std::uniform_real_distribution<double> longitude(-180, 180);
    std::uniform_real_distribution<double> north(25, 70);
    std::uniform_real_distribution<double> tropics(-25, 25);
    std::uniform_real_distribution<double> south(-70, -25);
    std::uniform_real_distribution<double> mufd(6, 32);
    std::uniform_real_distribution<double> confidence(20, 100);

    QList<IonosondeReading> readings;
    for (int i = 0; i < 60; ++i) {
        IonosondeReading reading;
        reading.code = QStringLiteral("ST%1").arg(i, 3, 10, QLatin1Char('0'));
        reading.name = reading.code;
        const double latitude = i < 36 ? north(random)
            : i < 50                   ? tropics(random)
            : i < 57                   ? south(random)
                                       : (i % 2 ? 78.0 : -77.0);
        reading.coordinate = { latitude, longitude(random) };
        reading.mufd = mufd(random);
        if (i % 3 != 0)
            reading.confidence = confidence(random);
        readings.append(reading);
    }
    return readings;
}

} // namespace BenchReadings
