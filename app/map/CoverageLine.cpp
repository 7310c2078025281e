#include "map/CoverageLine.h"

#include "map/CoverageLayer.h"
#include "map/MapCoverage.h"
#include "map/MapOptions.h"
#include "prediction/PredictionStore.h"
#include "spaceweather/SpaceWeather.h"
#include "support/NumberText.h"

namespace CoverageLine {

QString text(Band band, double value)
{
    return QStringLiteral("Coverage on ") + title(band) + NumberText::printf(" here, this hour: %.0f%%", value * 100);
}

std::optional<QString> at(const GeoCoordinate& place, const MapOptions& options, const SpaceWeatherSnapshot& snapshot,
                          const QDateTime& now, const PredictionStore* engine)
{
    const std::optional<Band> band = MapCoverage::band(options);
    if (!band)
        return std::nullopt;
    const std::optional<double> value = engine
        ? engine->coverageValue(*band, place)
        : CoverageLayer::quickValue(place, options.home, *band, snapshot.ionosondes, snapshot.sunspotNumber, now,
                                    snapshot.kpNow, options.station);
    if (!value)
        return std::nullopt;
    return text(*band, *value);
}

} // namespace CoverageLine
