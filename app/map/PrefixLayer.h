#pragma once

#include "geo/MapData.h"
#include "map/MapProjection.h"

#include <QColor>
#include <QFont>
#include <QList>

class QPainter;
struct HaloText;

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

    // The rendered labels for a pixel ratio (main thread: the cache is
    // shared), and the drawing of them, which bands may do at once.
    const QList<HaloText>& labels(double ratio) const;
    void draw(QPainter& painter, const QList<HaloText>& labels) const;

    // How often a label set has been rendered in this process; a repaint
    // with the same labels, font and colours renders nothing.
    static int labelRenders();
};
