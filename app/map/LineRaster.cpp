#include "map/LineRaster.h"

#include "map/PremultipliedShades.h"

#include <algorithm>
#include <cmath>

LineRaster::LineRaster(QImage& image, const QColor& color, double width, double dashOn, double dashOff)
    : LineRaster(image.isNull() ? nullptr : image.bits(), image.width(), image.height(), image.bytesPerLine(), color,
                 width, dashOn, dashOff)
{
}

LineRaster::LineRaster(uchar* bits, int width, int height, qsizetype bytesPerLine, const QColor& color,
                       double lineWidth, double dashOn, double dashOff)
    : m_width(bits ? width : 0)
    , m_height(bits ? height : 0)
    , m_firstRow(0)
    , m_lastRow(m_height)
    , m_shades(premultipliedShades(color))
    , m_half(std::isfinite(lineWidth) && lineWidth > 0 ? lineWidth / 2 : 0.5)
    , m_on(std::isfinite(dashOn) && dashOn > 0 ? dashOn : 0)
    , m_off(std::isfinite(dashOff) && dashOff > 0 ? dashOff : 0)
    , m_bits(bits)
    , m_stride(bytesPerLine)
{
}

void LineRaster::limitRows(int firstRow, int lastRow)
{
    m_firstRow = std::clamp(firstRow, 0, m_height);
    m_lastRow = std::clamp(lastRow, m_firstRow, m_height);
}

void LineRaster::limitRows(int firstRow, int lastRow, uchar* bits, qsizetype bytesPerLine)
{
    limitRows(firstRow, lastRow);
    m_bits = bits;
    m_bitsRow = m_firstRow;
    m_stride = bytesPerLine;
    if (m_firstRow != firstRow)
        m_bits = nullptr; // a band that starts outside the image: nothing to draw
}

void LineRaster::plot(uchar* line, int x, double coverage)
{
    const int alpha = int(std::min(coverage, 1.0) * 255 + 0.5);
    QRgb& pixel = reinterpret_cast<QRgb*>(line)[x];
    if (alpha > qAlpha(pixel))
        pixel = m_shades[std::size_t(alpha)];
}

void LineRaster::segment(QPointF a, QPointF b, bool buttA, bool buttB)
{
    const double reach = m_half + 0.5; // beyond it a pixel gets nothing
    if (std::max(a.y(), b.y()) + reach < m_firstRow || std::min(a.y(), b.y()) - reach > m_lastRow)
        return;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double length = std::sqrt(dx * dx + dy * dy);
    const double ux = length > 0 ? dx / length : 1;
    const double uy = length > 0 ? dy / length : 0;
    // Coverage of a pixel centre: by its distance from the line, rounded
    // beyond an end where segments join, cut square at a dash's end.
    auto coverageAt = [&](double px, double py) {
        const double along = (px - a.x()) * ux + (py - a.y()) * uy;
        const double side = std::abs((px - a.x()) * uy - (py - a.y()) * ux);
        if (side >= reach) // no end is nearer than the line itself
            return 0.0;
        double cover;
        if ((along < 0 && !buttA) || (along > length && !buttB)) {
            const QPointF end = along < 0 ? a : b;
            const double ex = px - end.x();
            const double ey = py - end.y();
            cover = reach - std::sqrt(ex * ex + ey * ey);
        } else {
            cover = reach - side;
        }
        if (buttA)
            cover = std::min(cover, 0.5 + along);
        if (buttB)
            cover = std::min(cover, 0.5 + length - along);
        return cover;
    };

    const bool alongX = std::abs(dx) >= std::abs(dy);
    // Walk the major axis; across it, visit only the pixel centres the
    // line can reach.
    const double major0 = alongX ? std::min(a.x(), b.x()) : std::min(a.y(), b.y());
    const double major1 = alongX ? std::max(a.x(), b.x()) : std::max(a.y(), b.y());
    const double slope = alongX ? (dx != 0 ? dy / dx : 0) : (dy != 0 ? dx / dy : 0);
    const double across = reach * std::sqrt(1 + slope * slope);
    const QPointF start = alongX ? (a.x() <= b.x() ? a : b) : (a.y() <= b.y() ? a : b);
    // Rows are limited to the band, columns to the image.
    const int firstMajor = alongX ? 0 : m_firstRow;
    const int lastMajor = alongX ? m_width - 1 : m_lastRow - 1;
    const int firstMinor = alongX ? m_firstRow : 0;
    const int lastMinor = alongX ? m_lastRow - 1 : m_width - 1;

    const int first = std::max(firstMajor, int(std::ceil(major0 - reach - 0.5)));
    const int last = std::min(lastMajor, int(std::floor(major1 + reach - 0.5)));
    for (int m = first; m <= last; ++m) {
        const double centre = m + 0.5;
        const double along = std::clamp(centre, major0, major1);
        const double minor = alongX ? start.y() + (along - start.x()) * slope : start.x() + (along - start.y()) * slope;
        const int from = std::max(firstMinor, int(std::ceil(minor - across - 0.5)));
        const int to = std::min(lastMinor, int(std::floor(minor + across - 0.5)));
        for (int n = from; n <= to; ++n) {
            const double coverage = alongX ? coverageAt(centre, n + 0.5) : coverageAt(n + 0.5, centre);
            if (coverage <= 0)
                continue;
            if (alongX)
                plot(m_bits + qsizetype(n - m_bitsRow) * m_stride, m, coverage);
            else
                plot(m_bits + qsizetype(m - m_bitsRow) * m_stride, n, coverage);
        }
    }
}

void LineRaster::polyline(const QPointF* points, qsizetype count)
{
    if (!m_bits || count < 2)
        return;
    if (m_on <= 0 || m_off <= 0) {
        for (qsizetype i = 0; i + 1 < count; ++i)
            segment(points[i], points[i + 1], false, false);
        return;
    }
    // Dashes run on along the polyline from segment to segment.
    bool drawing = true;
    double left = m_on; // of the current dash or gap
    for (qsizetype i = 0; i + 1 < count; ++i) {
        QPointF a = points[i];
        const QPointF b = points[i + 1];
        double length = std::sqrt((b.x() - a.x()) * (b.x() - a.x()) + (b.y() - a.y()) * (b.y() - a.y()));
        while (length > 0) {
            const double step = std::min(left, length);
            const QPointF c = a + (b - a) * (step / length);
            // A dash ends square where the pattern cuts it, and joins the
            // next segment round where it only turns a corner.
            if (drawing)
                segment(a, c, a != points[i], step < length || i + 2 == count);
            a = c;
            length -= step;
            left -= step;
            if (left <= 0) {
                drawing = !drawing;
                left = drawing ? m_on : m_off;
            }
        }
    }
}
