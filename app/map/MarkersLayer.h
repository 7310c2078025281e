#pragma once

#include "geo/GeoMath.h"
#include "map/MapProjection.h"

#include <QString>

class QPainter;

// The operator's station (a dot with a ring and the callsign beside it)
// and the subsolar point (a glowing sun disc). Drawn in that order from the
// bottom: sun glow, sun disc, home ring, home dot, callsign, so a station
// under the Sun shows over it.
struct MarkersLayer {
    MapProjection projection;
    GeoCoordinate home;
    QString callsign; // may be empty: no text then
    GeoCoordinate subsolar;

    void paint(QPainter& painter) const;

    // The callsign as shown: upper case.
    static QString shownCallsign(const QString& callsign) { return callsign.toUpper(); }
};
