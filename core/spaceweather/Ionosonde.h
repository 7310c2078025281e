#pragma once

#include "geo/GeoMath.h"
#include "spaceweather/FeedReadingRules.h"

#include <QByteArray>
#include <QDateTime>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <optional>

// One ionosonde station's latest reading.
struct IonosondeReading {
    QString code; // also the reading's id
    QString name;
    GeoCoordinate coordinate; // longitude in -180...180 after parsing
    double mufd = 0;          // measured MUF in MHz, above 0 after parsing
    std::optional<double> fof2;
    std::optional<double> confidence; // the service's score, 0...100; none when unscored
    std::optional<QDateTime> time;

    const QString& id() const { return code; }

    // The same station's same measurement: name, place and the secondary
    // values take no part.
    friend bool operator==(const IonosondeReading& a, const IonosondeReading& b)
    {
        return a.code == b.code && a.time == b.time && a.mufd == b.mufd;
    }
};

inline size_t qHash(const IonosondeReading& reading, size_t seed = 0) { return qHash(reading.code, seed); }

// The Zelq ionosonde service's station feed and what is computed from it.
namespace Zelq {

// The station feed, fetched by the space weather client.
QUrl stationsURL();

// Readings older than this are dropped by the parser, in seconds.
inline constexpr qint64 maxAge = 10800;
// Gaussian distance scale of a station's weight, km.
inline constexpr double influenceKm = 1500;
// Smallest distance in the inverse-square weight of a station, km.
inline constexpr double nearRadiusKm = 50;
// Stations this far away or farther say nothing about a point, km.
inline constexpr double reachKm = 4500;

// A reading's confidence (0...100) as a weight factor 0.2...1; unknown
// counts as full, NaN as the lowest.
inline double quality(std::optional<double> confidence)
{
    if (!confidence)
        return 1;
    const double c = *confidence / 100.0;
    if (c >= 1)
        return 1;
    return c > 0.2 ? c : 0.2;
}

// How much a station of this quality counts at a distance: a Gaussian
// fall-off times the inverse square of the distance. Shared by `estimate`
// and the MUF field's station corrections.
inline double stationWeight(double distanceKm, double quality)
{
    const double x = distanceKm / influenceKm;
    const double near = std::max(nearRadiusKm, distanceKm);
    return std::exp(-(x * x)) * quality / (near * near);
}

struct Estimate {
    double muf = 0;        // weighted mean mufd of the stations within reach, MHz
    double confidence = 0; // 0...1, falls with the distance to the nearest station
    int stationsUsed = 0;
    IonosondeReading nearest; // nearest of all readings
    double nearestDistanceKm = 0;

    friend bool operator==(const Estimate&, const Estimate&) = default;
};

struct NearestStation {
    IonosondeReading reading;
    double distanceKm = 0;

    friend bool operator==(const NearestStation&, const NearestStation&) = default;
};

// The feed document as readings, in the feed's order. Records are skipped
// when they have no positive MUF, when their latitude is outside -90...90 or
// their longitude outside the feed's -180...360, or when they are older than
// `maxAge` at `now`. Longitudes come out in -180...180.
// Fails on bodies that are not JSON, or not an array of objects
// (unexpectedFormat "Zelq stations").
SWPCParser::Result<QList<IonosondeReading>> parseStations(const QByteArray& data, const QDateTime& now);

// The nearest reading of usable confidence (unknown, or at least 25) within
// `maxDistanceKm` (inclusive); the first of equally near ones.
std::optional<NearestStation> nearest(const GeoCoordinate& point, const QList<IonosondeReading>& readings,
                                      double maxDistanceKm);

// A stationWeight-weighted mean of the stations closer than reachKm.
std::optional<Estimate> estimate(const GeoCoordinate& point, const QList<IonosondeReading>& readings);

// The highest amateur band whose lower edge is at or below the MUF, as its
// text ("10 m"), or "below 160 m".
QString highestOpenBand(double muf);

} // namespace Zelq
