#pragma once

#include "kit/MUFPalette.h"
#include "map/LineRaster.h"
#include "map/MapProjection.h"
#include "spaceweather/MUFModel.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>

#include <vector>

class QPainter;

// The MUF contour lines, each in its level's palette colour over a darker
// (or, on light styles, lighter) halo line, with the level in MHz written
// on a small plate where MUFModel put its labels. One copy of the world;
// every line is drawn before any label.
struct MUFContourLayer {
    MapProjection projection;
    QList<MUFModel::Contour> contours;
    QColor halo;
    MUFPalette palette;

    // A level as its labels and the MUF legend write it: no decimals for a
    // whole number, one otherwise ("3.5", "14", "24.9").
    static QString label(double level);

    // The labels' font: the system font, 10 points, bold.
    static QFont labelFont();

    // The contours with their lines thinned for drawing: points that lie
    // less than `tolerance` (degrees) from the line through the points kept
    // around them are dropped (Douglas-Peucker). Ends, closed lines and the
    // labels stay as they are. The map asks for a quarter of a pixel.
    static QList<MUFModel::Contour> simplified(const QList<MUFModel::Contour>& contours, double tolerance);

    // Draws what reaches into the painter's clip (the whole view without
    // one); safe to run for several bands of one picture at once.
    void draw(QPainter& painter) const;

    // The lines of each level in the view's device pixels, the runs of
    // segments that reach the view: made once for a picture and then drawn
    // by all its bands.
    std::vector<PixelPolylines> pixelRuns(double ratio) const;
    void draw(QPainter& painter, const std::vector<PixelPolylines>& runs) const;
};
