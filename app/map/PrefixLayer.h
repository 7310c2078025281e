#pragma once

#include "geo/MapData.h"
#include "map/MapProjection.h"

#include <QColor>
#include <QFont>
#include <QList>

class QPainter;

// The callsign prefix of each prefix area written at its label position,
// with a soft halo behind the glyphs so the text stays readable on any base
// map. Every label is drawn at every zoom (no culling, no overlap
// avoidance); the text keeps its size while the map zooms.
struct PrefixLayer {
    MapProjection projection;
    QList<PrefixEntity> prefixes;
    QFont font;
    QColor color;
    QColor halo;

    static constexpr double haloRadius = 1.2;

    void paint(QPainter& painter) const;

    // How often a label set has been rendered in this process; a repaint
    // with the same labels, font and colours renders nothing.
    static int labelRenders();
};
