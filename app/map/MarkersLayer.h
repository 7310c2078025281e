#pragma once

#include "geo/GeoMath.h"
#include "map/MapProjection.h"

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;
struct HaloText;

// The operator's station (a dot with a ring and the callsign beside it)
// and the subsolar point (a glowing sun disc). Drawn in that order from the
// bottom: sun glow, sun disc, home ring, home dot, callsign, so a station
// under the Sun shows over it. The callsign is white on a dark glow, or on
// a light style its dark partner on the style's light halo.
struct MarkersLayer {
    MapProjection projection;
    GeoCoordinate home;
    QString callsign; // may be empty: no text then
    GeoCoordinate subsolar;
    QColor halo = Qt::black; // the map's label halo: the callsign's glow on a light style

    void paint(QPainter& painter) const;

    // The callsign rendered for a pixel ratio (main thread: the cache is
    // shared; none without a callsign), and the drawing with it, which
    // bands may do at once.
    const HaloText* callsignText(double ratio) const;
    void paint(QPainter& painter, const HaloText* callsignText) const;
    // Where the station's ring and its callsign are drawn, in view points:
    // what the rotators' tags keep off.
    QRectF stationArea(const HaloText* callsignText) const;

    // The callsign as shown: upper case.
    static QString shownCallsign(const QString& callsign) { return callsign.toUpper(); }
};
