#pragma once

// The map view painted into an image, as its window would show it. The
// image starts in one colour, so a pixel the map leaves alone is the same in
// every render and can be told apart from the map's own.

#include "map/WorldMapView.h"

#include <QColor>
#include <QImage>
#include <QPainter>

inline QImage renderMap(WorldMapView& view, const QColor& background = Qt::magenta)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    QPainter painter(&image);
    view.render(painter);
    return image;
}
