#pragma once

#include "map/MapProjection.h"
#include "map/PieceWork.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QRegion>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

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
        // Pictures the bands take from ahead (in the order the bands need
        // them), made while the bands draw what lies below them.
        std::vector<std::shared_ptr<PieceWork>> ahead;
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

    // Where a frame drawn anew goes on to: the painter, over `area` (view
    // points). Where the painter writes straight into an image (see
    // paint), each band of the frame is copied there as soon as it is
    // final; `delivered` then says that the painter has the frame.
    struct Delivery {
        QPainter* painter = nullptr;
        QRegion area;
        bool delivered = false;
    };

    // Draws the whole frame anew, and hands it on as it goes when asked.
    // False when no picture could be made.
    bool render(const Shows& shows, const Layers& layers, Delivery* delivery = nullptr);

    // Follows a gesture to another projection of the same content: moves
    // the pixels when only the world's place changed, drawing what that
    // uncovers and the view-pinned `redraw` areas (view points) afresh;
    // otherwise scales the last crisp frame. False when neither works.
    // The layers are made only when something has to be drawn.
    bool follow(const Shows& shows, const QList<QRectF>& pinned, const std::function<Layers()>& layers);

    // Copies the part of the frame under `area` (view points) to the
    // painter: where the painter writes straight into an image's pixels
    // with nothing to blend or scale (a window's back buffer), by copying
    // the bytes, in bands on the pool for frames larger than full HD.
    void paint(QPainter& painter, const QRect& area) const;

    void clear();

    const Shows& shows() const { return m_shows; }
    bool isEmpty() const { return m_image.isNull(); }
    qsizetype bytes() const { return m_image.sizeInBytes() + m_gestureStart.sizeInBytes() + m_spare.sizeInBytes(); }
    // How often the frame was drawn from scratch, and moved or scaled.
    int renders() const { return m_renders; }
    int follows() const { return m_follows; }

private:
    // Draws the stack over device-pixel rectangles of the image; `drawn`,
    // when given, is called on the drawing thread with each finished piece.
    void drawAreas(QImage& image, const QList<QRect>& pixels, const Layers& layers,
                   const std::function<void(const QRect&)>* drawn = nullptr) const;
    void shift(QPoint pixels);
    void shiftInPlace(QPoint pixels);
    // A painter's image that the frame's pixels can be copied straight
    // into: its pixels, where the frame's pixel (0, 0) lands and which of
    // its pixels may be written.
    struct CopyTarget {
        uchar* bits = nullptr;
        qsizetype stride = 0;
        QPoint offset;
        QRegion allowed;
    };
    std::optional<CopyTarget> copyTarget(QPainter& painter, const QRegion& area, double ratio) const;
    // Copies the frame's rows firstRow up to lastRow (exclusive) there.
    void copyRows(const CopyTarget& target, int firstRow, int lastRow) const;

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
