#pragma once

#include "geo/GeoMath.h"
#include "spaceweather/GFZ.h"
#include "spaceweather/Ionosonde.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// The aurora forecast as probabilities in percent on a one-degree grid.
// Row 0 is 90 N, row 180 is 90 S; column 0 is 180 W, column 359 is 179 E.
struct AuroraGrid {
    static constexpr int width = 360;
    static constexpr int height = 181;

    std::vector<std::uint8_t> values; // row-major, width x height
    std::optional<QDateTime> observationTime;
    std::optional<QDateTime> forecastTime;

    // The entry at row x 360 + column; 0 for a place outside `values`.
    std::uint8_t value(int column, int row) const;
    // The entry of the grid node nearest to the point.
    std::uint8_t value(const GeoCoordinate& at) const;
    // The largest entry, 0 for an empty grid.
    std::uint8_t maxValue() const;

    friend bool operator==(const AuroraGrid&, const AuroraGrid&) = default;
};

// One interval of the 3-hour Kp history.
struct KpSample {
    QDateTime time;
    double kp = 0;
    std::optional<double> aRunning;

    friend bool operator==(const KpSample&, const KpSample&) = default;
};

size_t qHash(const KpSample& sample, size_t seed = 0);

// One fetched picture of space weather. Every value is absent until a feed
// supplies it.
struct SpaceWeatherSnapshot {
    std::optional<AuroraGrid> aurora;
    std::optional<double> kpNow;
    std::optional<QDateTime> kpNowTime;
    QList<KpSample> kpHistory; // the last sample is the latest
    std::optional<double> solarFlux;
    std::optional<QDateTime> solarFluxTime;
    std::optional<double> bz;
    std::optional<double> bt;
    std::optional<double> windSpeed;
    std::optional<double> sunspotNumber;
    std::optional<QDateTime> sunspotTime;
    QList<IonosondeReading> ionosondes;
    std::optional<QDateTime> ionosondesFetchedAt;
    std::optional<QDateTime> fetchedAt;
    QStringList errors;                  // labels of the feeds that failed in this fetch
    std::optional<double> aIndexValue;   // A given directly by the index source
    std::optional<QDateTime> aIndexTime; // time of aIndexValue
    IndexSource indexSource = IndexSource::noaa;

    // The A index: the one given directly, else the running A of the latest
    // Kp sample.
    std::optional<double> aIndex() const;

    static QString fluxRating(double flux);
    static QString aRating(double a);
    static QString sunspotRating(double ssn);
    static QString stormLevel(double kp);

    friend bool operator==(const SpaceWeatherSnapshot&, const SpaceWeatherSnapshot&) = default;
};
