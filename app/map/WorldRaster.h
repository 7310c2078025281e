#pragma once

#include "map/MapProjection.h"

#include <QImage>

class QPainter;

// One image that covers the whole world (longitude −180...180 left to right,
// latitude 90...−90 top to bottom), stretched over the projected world
// rectangle so it lines up with the map at every zoom and pan. Drawn once,
// with no copies east or west of the date line, clipped to the view.
// Opacity and blending are the caller's (set them on the painter).
struct WorldRaster {
    QImage image;
    MapProjection projection;

    void paint(QPainter& painter) const;
};
