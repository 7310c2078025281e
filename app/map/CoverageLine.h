#pragma once

#include "cluster/Band.h"
#include "geo/GeoMath.h"

#include <QDateTime>
#include <QString>

#include <optional>

class PredictionStore;
struct MapOptions;
struct SpaceWeatherSnapshot;

// The hover panel's one-line coverage estimate: how likely the band chosen
// for the coverage layer opens the path from the station to the place
// under the pointer this hour.
namespace CoverageLine {

// "Coverage on 20 m here, this hour: 42%".
QString text(Band band, double value);

// The line for the place: none without a coverage band, for a band that is
// not predicted, or while no value is known. With an engine store the
// value is the engine's stored coverage of the place's cell; without one
// the quick model's, as the coverage layer computes each of its cells.
std::optional<QString> at(const GeoCoordinate& place, const MapOptions& options, const SpaceWeatherSnapshot& snapshot,
                          const QDateTime& now, const PredictionStore* engine);

} // namespace CoverageLine
