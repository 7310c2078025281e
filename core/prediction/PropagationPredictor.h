#pragma once

#include "geo/GeoMath.h"
#include "prediction/PredictionSettings.h"
#include "prediction/StationAntennas.h"

#include <QDateTime>
#include <QList>

#include <array>
#include <functional>
#include <optional>

class MUFField;

// The operator's station for one prediction. Nothing is validated here:
// each consumer bounds the power itself.
struct StationSetup {
    double powerW;
    StationAntennas antennas;
    PredictionMode mode;
    NoiseEnvironment noise;

    StationSetup(double powerW, StationAntennas antennas, PredictionMode mode, NoiseEnvironment noise)
        : powerW(powerW)
        , antennas(std::move(antennas))
        , mode(mode)
        , noise(noise)
    {
    }

    friend bool operator==(const StationSetup&, const StationSetup&) = default;
};

// 24 rows (UTC hours 0 … 23), each the reliabilities of
// PropagationPredictor::bands in that order.
using DayChart = QList<QList<double>>;

// The quick propagation model: a closed-form estimate of the probability
// that one short-wave path opens with enough signal-to-noise ratio for the
// station's mode. `from` is always the operator's (transmitting) station,
// `to` the receiving end.
//
// The work comes in stages so callers can reuse the early ones: the path's
// geometry, its conditions at one time, then the reliability of each
// frequency. Everything is pure and may run on any thread.
struct PropagationPredictor {
    StationSetup setup;
    double otherStationGainDBi = 3.0; // assumed at the far station

    explicit PropagationPredictor(StationSetup setup, double otherStationGainDBi = 3.0)
        : setup(std::move(setup))
        , otherStationGainDBi(otherStationGainDBi)
    {
    }

    struct Geometry {
        double distanceKm = 0; // the long way round for a long path
        int hops = 1;
        double hopKm = 0;
        QList<GeoCoordinate> points; // mid-point of each hop, from the station on

        friend bool operator==(const Geometry&, const Geometry&) = default;
    };

    struct PathConditions {
        QList<double> mufs; // MHz at each hop mid-point
        // The sun factor at both D-layer crossings of every hop, hop by
        // hop, the upward crossing first.
        QList<double> dLayerCrossings;
        double auroralExposure = 0;      // summed auroral-zone weight of all crossings
        double receiverSunElevation = 0; // degrees, at the far end
        double sunspotNumber = 0;
        double kp = 0;

        friend bool operator==(const PathConditions&, const PathConditions&) = default;
    };

    using MUFLookup = std::function<double(const GeoCoordinate&)>;

    // The predicted bands, highest first, with the frequency evaluated for
    // each; every list of band results follows this order. They are the
    // antenna table's bands and centres, 10 m down to 160 m (6 m is never
    // predicted), so each band is evaluated on its own antenna.
    static constexpr std::array<StationAntennas::BandCentre, 10> bands = [] {
        static_assert(StationAntennas::bands.back().band == Band::m6);
        std::array<StationAntennas::BandCentre, 10> highestFirst {};
        for (std::size_t i = 0; i < highestFirst.size(); ++i)
            highestFirst[i] = StationAntennas::bands[highestFirst.size() - 1 - i];
        return highestFirst;
    }();

    // None for the bands that are not predicted (6 m, 4 m, 2 m).
    static std::optional<double> mhz(Band band);

    // 90° minus the angular distance from the geomagnetic north pole
    // (80.8° N, 72.7° W).
    static double geomagneticLatitude(const GeoCoordinate& point);

    // Hops of at most 3000 km. Coordinates are expected to be finite.
    static Geometry geometry(const GeoCoordinate& from, const GeoCoordinate& to, bool longPath);

    // `longPath` must be the value that built the geometry.
    static PathConditions conditions(const Geometry& geometry, const GeoCoordinate& from, const GeoCoordinate& to,
                                     const MUFLookup& mufAt, const GeoCoordinate& subsolar, double sunspotNumber,
                                     double kp, bool longPath);

    // 0 … 1 for one frequency (MHz).
    double reliability(double mhz, const Geometry& geometry, const PathConditions& conditions) const;

    // The ten reliabilities of `bands` for the short path at the field's time.
    QList<double> reliabilities(const GeoCoordinate& from, const GeoCoordinate& to, const MUFField& field,
                                double kp) const;

    // One row per UTC hour of the UTC day that holds `date`, each for the
    // middle of its hour, with the field projected to that time.
    DayChart dayChart(const GeoCoordinate& from, const GeoCoordinate& to, const MUFField& field, const QDateTime& date,
                      double kp) const;

private:
    struct PathTerms;
    PathTerms pathTerms(const Geometry& geometry, const PathConditions& conditions) const;
    double reliability(double mhz, const PathTerms& terms) const;
    QList<double> allBands(const Geometry& geometry, const PathConditions& conditions) const;
};
