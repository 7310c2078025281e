#pragma once

#include "cluster/SpotGroup.h"
#include "map/MapProjection.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QList>
#include <QRegion>

class QPainter;

// The countries being spotted on the cluster right now: each group's
// callsign prefix on a small capsule plate at its label. Plates blink
// between a solid and an outlined look; a group with a needed or a watched
// spot blinks twice as fast and sends out an expanding, fading ring.
//
// The look is a function of the fields and the clock alone: the beat is
// counted in 0.3 s steps from 2001-01-01 00:00 UTC, so every plate blinks
// in step and a rebuilt layer keeps the rhythm. Each plate's few looks (with
// their rings) are rendered once into small images kept for the process,
// so a blink is a copy per plate.
struct DXSpotLayer {
    MapProjection projection;
    QList<SpotGroup> groups;
    QFont font;         // bold
    QColor color;       // an ordinary spotted country
    QColor neededColor; // a country with a needed spot
    QColor watchColor;  // a country with a spot of a watched call
    QColor halo;        // behind the outlined look

    static constexpr qint64 beatMs = 300;
    // Plates up to this far outside the view still draw (their rings reach in).
    static constexpr double cullMargin = 40;

    // 2 with a watched spot, 1 with a needed one, else 0; higher ranks are
    // drawn on top.
    static int rank(const SpotGroup& group);
    static bool highlighted(const SpotGroup& group) { return rank(group) > 0; }

    // The beat at a time: whole 0.3 s steps since 2001-01-01 00:00 UTC.
    static qint64 beat(const QDateTime& time);
    // Whether a plate shows its solid look at the beat: highlighted plates
    // change at every beat, ordinary ones at every second beat.
    static bool solid(qint64 beat, bool highlighted);
    // The ring at the beat: how far it stands out (points) and its opacity.
    static double ringSpread(qint64 beat);
    static double ringOpacity(qint64 beat);
    // The next time anything of the layer looks different: the next beat
    // when a plate is highlighted (plates and rings change at every beat),
    // else the next even beat.
    static QDateTime nextChange(const QDateTime& now, bool anyHighlighted);

    void paint(QPainter& painter, const QDateTime& now) const;

    // Everything a blink can change: each plate with its widest ring, in
    // view points. A blink repaints only this, not the whole map.
    QRegion blinkArea() const;
};
