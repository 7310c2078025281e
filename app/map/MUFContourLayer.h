#pragma once

#include "kit/MUFPalette.h"
#include "map/LineRaster.h"
#include "map/MapProjection.h"
#include "spaceweather/MUFModel.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QString>

#include <vector>

class PieceWork;
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
    // The lines of the runs, then the labels; the lines' pictures taken
    // from `ahead` when given.
    void draw(QPainter& painter, const std::vector<PixelPolylines>& runs, PieceWork* ahead = nullptr) const;
    // The pictures of the lines over a part of the view (device pixels):
    // the halo lines, then the coloured lines, each laid over the map in
    // turn; none when no line reaches the part.
    QList<QImage> linePictures(const std::vector<PixelPolylines>& runs, const QRect& part, double ratio) const;
    // How much of the lines a part of the view holds.
    static qint64 lineWeight(const std::vector<PixelPolylines>& runs, const QRect& part, double ratio);
    // The view's size in device pixels.
    QSize viewPixels(double ratio) const;
};
