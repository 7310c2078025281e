#pragma once

#include "map/MapProjection.h"

#include <QImage>
#include <QList>
#include <QRect>

#include <cstdint>
#include <functional>

class QPainter;

// One view's composed picture of the layers below the spots (base map up to
// the rotators' beams), so that a repaint that changes none of them is a
// single copy. It is drawn in bands of rows on the thread pool, every band
// painting the whole stack over its own rows.
//
// While a gesture runs, the frame follows the viewport without drawing the
// stack again: a pan moves the finished pixels and draws only the strips it
// uncovers (and whatever the caller says is pinned to the view); a zoom
// scales the frame the gesture started from. Such a frame is marked as not
// crisp; the view draws it anew once the gesture rests. Main thread.
class MapFrame {
public:
    // Draws the layers in view points over the painter's clip, reading only
    // data that no other thread changes meanwhile: several bands draw at
    // once, each with its own painter.
    using Draw = std::function<void(QPainter&)>;
    // The layers of a frame: first `bands`, drawn by several bands at
    // once, then `whole`, drawn over the whole frame in one go (layers
    // whose look would change if cut into bands, such as dashed pens).
    struct Layers {
        Draw bands;
        Draw whole;
    };

    // What the frame shows: the projection, the pixel ratio and the
    // generation of the view's content it was drawn for.
    struct Shows {
        MapProjection projection;
        double ratio = 0;
        std::uint64_t generation = 0;

        friend bool operator==(const Shows&, const Shows&) = default;
    };

    // Whether the frame holds exactly this, and whether it was drawn from
    // scratch (rather than moved or scaled by a gesture).
    bool holds(const Shows& shows) const { return !m_image.isNull() && m_shows == shows; }
    bool isCrisp() const { return m_crisp; }
    // Whether it holds this content and pixel ratio at any projection (so a
    // gesture may move or scale it).
    bool canFollow(const Shows& shows) const;

    // Draws the whole frame anew. False when no picture could be made.
    bool render(const Shows& shows, const Layers& layers);

    // Follows a gesture to another projection of the same content: moves
    // the pixels when only the world's place changed, drawing what that
    // uncovers and the view-pinned `redraw` areas (view points) afresh;
    // otherwise scales the last crisp frame. False when neither works.
    // The layers are made only when something has to be drawn.
    bool follow(const Shows& shows, const QList<QRectF>& pinned, const std::function<Layers()>& layers);

    // Copies the part of the frame under `area` (view points) to the painter.
    void paint(QPainter& painter, const QRect& area) const;

    void clear();

    const Shows& shows() const { return m_shows; }
    bool isEmpty() const { return m_image.isNull(); }
    qsizetype bytes() const { return m_image.sizeInBytes() + m_gestureStart.sizeInBytes() + m_spare.sizeInBytes(); }
    // How often the frame was drawn from scratch, and moved or scaled.
    int renders() const { return m_renders; }
    int follows() const { return m_follows; }

private:
    // Draws the stack over device-pixel rectangles of the image.
    void drawAreas(QImage& image, const QList<QRect>& pixels, const Layers& layers) const;
    void shift(QPoint pixels);
    void shiftInPlace(QPoint pixels);
    // Copies the frame's `source` pixels to the painter at `at` (view
    // points) in bands of rows on the pool, where the painter's device is
    // an image the copy can write straight into; false where it is not.
    bool copyInBands(QPainter& painter, QPointF at, const QRect& source) const;

    QImage m_image; // opaque: the base map covers every pixel
    Shows m_shows;
    bool m_crisp = false;
    // The crisp frame a zoom gesture scales, kept until the frame is drawn
    // anew.
    QImage m_gestureStart;
    Shows m_gestureShows;
    // What a pan moves the pixels into, kept while the gesture runs.
    QImage m_spare;
    int m_renders = 0;
    int m_follows = 0;
};
