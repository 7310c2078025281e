#pragma once

#include "geo/GeoMath.h"
#include "spaceweather/Ionosonde.h"

#include <QDateTime>
#include <QList>

#include <optional>

// The estimated maximum usable frequency (MHz, for a 3000 km hop) anywhere
// on Earth at one moment: a smooth day/night model driven by the Sun's
// elevation, the season, the latitude and the sunspot number, corrected near
// the ionosondes. At each station the difference between its measured MUF
// and the model (its residual) is kept; at any point the model is corrected
// by a distance-weighted mean of the residuals that fades to nothing away
// from the stations.
//
// An immutable value; every operation is pure and a field may be shared
// between threads.
class MUFField {
public:
    // The MUF of a great-circle path: the lowest value at the midpoints of
    // the hops it is cut into.
    struct PathMUF {
        double muf = 0;
        int hops = 0;
        GeoCoordinate limitingPoint; // the hop midpoint with the lowest value
        double measuredShare = 0;    // at the limiting point, 0...1

        friend bool operator==(const PathMUF&, const PathMUF&) = default;
    };

    // A missing sunspot number counts as 80; it is limited to 0...250 (NaN
    // counts as 0). The date sets the Sun's position.
    MUFField(const QList<IonosondeReading>& readings, std::optional<double> sunspotNumber, const QDateTime& date);

    // The readings the field was built from, unchanged.
    const QList<IonosondeReading>& readings() const { return m_readings; }
    // The sunspot number used, after defaulting and limiting.
    double sunspotNumber() const { return m_sunspotNumber; }
    const QDateTime& date() const { return m_date; }
    // Where the Sun stands overhead at `date`.
    const GeoCoordinate& subsolar() const { return m_subsolar; }

    // The model alone, without station corrections and without a floor.
    static double model(const GeoCoordinate& point, const GeoCoordinate& subsolar, double ssn);

    // Model plus station correction, never below 1 MHz.
    double muf(const GeoCoordinate& point) const;

    // How much of `muf` comes from the stations: 0 far from all of them,
    // close to 1 at one.
    double measuredShare(const GeoCoordinate& point) const;

    // The field carried to another moment: the model follows the Sun while
    // the station corrections fade with a time constant of 6 hours, in
    // either direction of time.
    MUFField projected(const QDateTime& date) const;

    // The MUF of the short great-circle path, sampled at the middle of each
    // hop of at most 3000 km. Nothing for points 1 km apart or closer.
    std::optional<PathMUF> pathMUF(const GeoCoordinate& from, const GeoCoordinate& to) const;

    friend bool operator==(const MUFField&, const MUFField&) = default;

private:
    friend class MUFGrid;

    struct Residual {
        GeoCoordinate coordinate;
        double residual = 0;
        double quality = 0;

        friend bool operator==(const Residual&, const Residual&) = default;
    };

    // Station weight sum and weighted residual sum at a point.
    struct Weights {
        double weight = 0;
        double residual = 0;
    };

    Weights weights(const GeoCoordinate& point) const;
    // Every node of the one-degree world grid, row by row from 90° N,
    // column by column from 180° W; each equals `muf` at its node.
    QList<double> sampleWorld(int columns, int rows) const;

    QList<IonosondeReading> m_readings;
    double m_sunspotNumber = 0;
    QDateTime m_date;
    GeoCoordinate m_subsolar;
    QList<Residual> m_residuals;
};
