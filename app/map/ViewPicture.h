#pragma once

#include "map/MapProjection.h"

#include <QImage>
#include <QRect>

#include <cstdint>
#include <functional>

class QPainter;

// The finished picture of a layer (or a group of neighbouring layers) over
// a part of one view, kept by that view: a repaint with the same content,
// projection and pixel ratio only copies it. It is drawn anew, in bands of
// rows on the thread pool, when one of them changes, and freed when its
// layer is switched off. Main thread.
class ViewPicture {
public:
    // What draws the picture: paints in view points and only reads shared
    // data, since the bands of one picture are drawn at the same time, each
    // with its own painter clipped to its rows.
    using Draw = std::function<void(QPainter&)>;

    // Draws the picture of `area` (view points, cut to the view) at its
    // place, first drawing it with `draw` when the key, the projection,
    // the area or the painter's pixel ratio differ from last time.
    void paint(QPainter& painter, const MapProjection& projection, std::uint64_t key, QRect area, const Draw& draw);

    // Frees the picture.
    void clear();

    bool isEmpty() const { return m_image.isNull(); }
    qsizetype bytes() const { return m_image.sizeInBytes(); }
    // How often the picture was drawn (for tests and benchmarks).
    int renders() const { return m_renders; }

private:
    std::uint64_t m_key = 0;
    MapProjection m_projection;
    QRect m_area;
    double m_ratio = 0;
    QImage m_image;
    int m_renders = 0;
};
