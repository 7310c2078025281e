#pragma once

#include "geo/GeoMath.h"
#include "map/MapProjection.h"
#include "rotator/RotatorConfig.h"
#include "rotator/RotatorStatus.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QUuid>

#include <array>

class QPainter;

// Every rotator's beam on the map: from the station, a wedge of great-circle
// geometry shaded in three distance bands, the heading line, the two beam
// edges, the long path when the rotator asks for it, the line to the target
// while it turns, and a label with its name and heading on a plate.
//
// A rotator is drawn only while its status carries a heading (connected or
// not); rotators are drawn in list order, each completely before the next.
// Nothing is kept between paints: the map paints the layer again whenever
// the manager publishes a heading or the projection changes.
struct RotatorLayer {
    MapProjection projection;
    GeoCoordinate home;
    QList<RotatorConfig> rotators;
    QHash<QUuid, RotatorStatus> status;
    QColor halo;             // line halos and label plates
    QRectF stationArea = {}; // the station's ring and callsign, which the labels keep off; empty: none

    // The shading of one beam, nearest band first: each band runs from the
    // previous band's outer distance to its own.
    struct BeamBand {
        double innerKm;
        double outerKm;
        double opacity; // of the rotator's colour
    };
    static constexpr std::array<BeamBand, 3> beamBands { {
        { 0, 5000, 0.22 },
        { 5000, 10000, 0.13 },
        { 10000, 20000, 0.07 },
    } };

    // Every line runs this far from the station.
    static constexpr double lineLengthKm = 20000;
    static constexpr int lineSteps = 240;
    // How far out the label's direction is taken, and how far down each
    // later rotator's label moves so that labels at one station stay apart.
    static constexpr double labelReachKm = 1200;
    static constexpr double labelStep = 16;

    // Half the beam width, never below 1 degree: a beam is at least 2° wide.
    static double halfWidth(double beamWidth);

    // One distance band of a beam as a closed polygon in degree space
    // (x = longitude + 180, y = 90 − latitude): out along the left edge
    // (heading − half), along the outer arc, back along the right edge and
    // round the inner arc (or to the origin when the band starts there).
    // Each point's longitude is unwrapped against the point before it, so a
    // band that crosses the ±180° meridian stays one piece and its x runs
    // below 0 or past 360. A band that holds a pole is closed along that
    // pole's edge of the map (y = 0 or 180), so it shades the cap.
    static QPolygonF wedge(const GeoCoordinate& from, double heading, double half, double innerKm, double outerKm);

    // The label's text: the name, a blank and the heading.
    static QString labelText(const QString& name, double heading);
    // Where the label of a rotator at list position `position` is centred:
    // nine tenths of the way from the station towards the point 1200 km out
    // along the heading, moved down 16 points per position. That point's
    // longitude is taken on the station's side of the ±180° meridian, so a
    // label stays beside its beam when the beam crosses it.
    QPointF labelCentre(double heading, qsizetype position) const;
    // The box of a label's text where it is drawn: centred there, unless
    // its plate would cover the station's ring or callsign; then moved up
    // or down, whichever is less, to clear them.
    QRectF labelRect(const QString& text, double heading, qsizetype position) const;

    void paint(QPainter& painter) const;

private:
    void paintRotator(QPainter& painter, const RotatorConfig& rotator, const RotatorStatus& status,
                      qsizetype position) const;
    void shadeBeam(QPainter& painter, double heading, double half, const QColor& color) const;
};
