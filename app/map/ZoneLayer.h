#pragma once

#include "geo/Zones.h"
#include "map/LineRaster.h"
#include "map/MapProjection.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>

#include <vector>

struct HaloText;

class PieceWork;
class QPainter;

// The outlines of the CQ or the ITU zones with each zone's number at its
// label point. The outlines are built once per process in degree space
// (x = longitude + 180, y = 90 − latitude) and only transformed when drawn,
// so panning and zooming never rebuild them.
struct ZoneLayer {
    MapProjection projection;
    ZoneKind kind = ZoneKind::cq;
    QColor color;             // lines and numbers
    double lineOpacity = 0.6; // applied to the lines only
    QFont font;               // of the numbers
    QColor halo;              // glow behind the numbers

    static constexpr double haloRadius = 1.5;

    // The outlines of a kind in degree space: every ring of more than two
    // points three times, shifted by −360, 0 and +360 degrees of longitude,
    // each copy a closed path of its own with its bounds. An outline that
    // crosses the date line, or is written with longitudes past ±180, then
    // draws whole wherever the world rectangle is shown; drawing skips the
    // copies and rings that lie off the view.
    struct Outlines {
        QList<QPainterPath> rings;
        QList<QRectF> bounds;
        QList<QPolygonF> points; // each ring's path points, for laying it out fast
    };
    static Outlines buildOutlines(const QList<RadioZone>& zones);

    // The process-wide outlines of a kind, from Zones::zones, built on
    // first use and never changed.
    static const Outlines& outlines(ZoneKind kind);

    // How a kind's lines are drawn, in view points: CQ solid and 1.2 wide,
    // ITU dashed 5 on, 3 off and 1.0 wide.
    struct LineStyle {
        double width;
        double dashOn; // 0: solid
        double dashOff;
    };
    static LineStyle lineStyle(ZoneKind kind);

    // The lines a view keeps between repaints (below).
    struct Picture;

    // Draws the process-wide outlines and zones of the kind, reusing the
    // view's lines drawn last time while the projection, colour, opacity
    // and pixel ratio are unchanged.
    void paint(QPainter& painter, Picture& picture) const;
    // Draws the given outlines and zones from scratch.
    void draw(QPainter& painter, const Outlines& outlines, const QList<RadioZone>& zones) const;

    // The lines alone, at the line opacity, in an image of the view's size
    // (drawn into the given image when it has that size).
    QImage drawLines(const Outlines& outlines, double ratio, QImage image = {}) const;
    // The numbers with their halo.
    void drawNumbers(QPainter& painter, const QList<RadioZone>& zones) const;

    // The lines as the view's device pixels place them, ready to be drawn
    // by several bands of one picture at once.
    struct Lines {
        PixelPolylines polylines; // device pixels of the whole view
        QColor color;                     // at the line opacity
        LineStyle style;
        double ratio = 1;
        QSize pixels;
    };
    Lines lines(const Outlines& outlines, double ratio) const;
    // The lines over the painter's clip, through a picture of that part of
    // the view, as drawLines draws them; the picture is taken from `ahead`
    // when given.
    static void drawLines(QPainter& painter, const Lines& lines, PieceWork* ahead = nullptr);
    // The picture of a part of the view (device pixels) that drawLines lays
    // over it.
    static QImage linesPicture(const Lines& lines, const QRect& part);
    // How much of the lines a part of the view holds, and the part of the
    // view a piece of a picture (device pixels) draws.
    static qint64 linesWeight(const Lines& lines, const QRect& part);
    static QRect linesPart(const Lines& lines, const QRect& piece);
    // The numbers, rendered once on the main thread, then drawn by bands.
    const QList<HaloText>& numbers(const QList<RadioZone>& zones, double ratio) const;
    void drawNumbers(QPainter& painter, const QList<RadioZone>& zones, const QList<HaloText>& labels) const;
};

// One view's lines of one zone kind as last drawn, for repaints that change
// nothing they show (a blinking spot, a clock). Every map view owns one per
// kind, so windows of different sizes never evict each other's.
struct ZoneLayer::Picture {
    // How often the lines were drawn anew.
    int renders() const { return m_renders; }

private:
    friend struct ZoneLayer;
    MapProjection m_projection;
    QColor m_color;
    double m_lineOpacity = 0;
    double m_ratio = 0;
    QImage m_image;
    int m_renders = 0;
};
