#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <QRect>
#include <QRectF>

#include <array>
#include <vector>

// Polylines in device pixels with their bounds, made once (on the main
// thread) and then drawn by several bands of one picture at once, each
// skipping the lines that cannot reach it.
struct PixelPolylines {
    std::vector<QPolygonF> lines;
    std::vector<QRectF> bounds;

    void add(QPolygonF line)
    {
        if (line.size() < 2)
            return;
        bounds.push_back(line.boundingRect());
        lines.push_back(std::move(line));
    }
    bool empty() const { return lines.empty(); }
    // The points of the lines that reach into an area: a measure of the
    // work of drawing it.
    qint64 pointsReaching(const QRectF& area) const
    {
        qint64 points = 0;
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (bounds[i].intersects(area))
                points += lines[i].size();
        return points;
    }
};

// Thin antialiased lines drawn straight into a premultiplied image, for
// outlines of tens of thousands of points that the general stroker takes
// far too long over. A pixel's coverage falls off linearly with its
// centre's distance from the line, so a line of width w carries w pixels
// of ink across; where lines meet or cross the larger coverage wins, which
// gives joins without seams and shared borders no darker than single ones.
// Sizes are in device pixels.
class LineRaster {
public:
    // The image must be premultiplied ARGB32. Dashes: on and off lengths
    // along the line; none when either is 0.
    LineRaster(QImage& image, const QColor& color, double width, double dashOn = 0, double dashOff = 0);
    // The same on the pixels of such an image, taken once by the caller.
    LineRaster(uchar* bits, int width, int height, qsizetype bytesPerLine, const QColor& color, double lineWidth,
               double dashOn = 0, double dashOff = 0);

    // Draws only rows firstRow up to lastRow (exclusive) of the image, so
    // that several rasters on their own threads can share one image, each
    // with its own band of rows (each made from the same pixels).
    void limitRows(int firstRow, int lastRow);
    // The same for a band that has memory of its own: `bits` holds rows
    // firstRow up to lastRow (exclusive) of the image, `bytesPerLine`
    // apart. The lines land on exactly the pixels they would in the whole
    // image.
    void limitRows(int firstRow, int lastRow, uchar* bits, qsizetype bytesPerLine);
    // The same for any part of the image: `bits` holds its top-left pixel.
    void limitTo(const QRect& part, uchar* bits, qsizetype bytesPerLine);

    // One polyline; the dash pattern starts afresh at its first point.
    void polyline(const QPointF* points, qsizetype count);
    // Every line that can reach the part drawn.
    void polylines(const PixelPolylines& lines);

private:
    // Butt ends are cut square; other ends are round, for joins.
    void segment(QPointF a, QPointF b, bool buttA, bool buttB);
    bool reaches(const QRectF& bounds) const;

    int m_width;
    int m_height;
    QRect m_part;                   // the pixels drawn
    std::array<QRgb, 256> m_shades; // the colour at each coverage, premultiplied
    double m_half;                  // half the width
    double m_on;
    double m_off;
    uchar* m_bits; // the pixel m_origin
    QPoint m_origin;
    qsizetype m_stride;
};
