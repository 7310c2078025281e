#include "map/LineRaster.h"

#include "map/PremultipliedShades.h"

#include <algorithm>
#include <cmath>

namespace {

// A segment as its pixels see it: the unit vector along it and whether its
// ends are cut square.
struct Segment {
    QPointF a;
    QPointF b;
    double length;
    double ux;
    double uy;
    double reach;
    bool buttA;
    bool buttB;

    // Coverage of a pixel centre: by its distance from the line, rounded
    // beyond an end where segments join, cut square at a dash's end.
    double coverage(double px, double py) const
    {
        const double qx = px - a.x();
        const double qy = py - a.y();
        const double along = qx * ux + qy * uy;
        const double side = std::abs(qx * uy - qy * ux);
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
    }
};

} // namespace

LineRaster::LineRaster(QImage& image, const QColor& color, double width, double dashOn, double dashOff)
    : LineRaster(image.isNull() ? nullptr : image.bits(), image.width(), image.height(), image.bytesPerLine(), color,
                 width, dashOn, dashOff)
{
}

LineRaster::LineRaster(uchar* bits, int width, int height, qsizetype bytesPerLine, const QColor& color,
                       double lineWidth, double dashOn, double dashOff)
    : m_width(bits ? width : 0)
    , m_height(bits ? height : 0)
    , m_part(0, 0, m_width, m_height)
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
    const int top = std::clamp(firstRow, 0, m_height);
    m_part = QRect(0, top, m_width, std::clamp(lastRow, top, m_height) - top);
}

void LineRaster::limitRows(int firstRow, int lastRow, uchar* bits, qsizetype bytesPerLine)
{
    limitTo(QRect(0, firstRow, m_width, lastRow - firstRow), bits, bytesPerLine);
}

void LineRaster::limitTo(const QRect& part, uchar* bits, qsizetype bytesPerLine)
{
    m_part = part & QRect(0, 0, m_width, m_height);
    // Only a part that lies wholly in the image has its memory where the
    // caller says.
    if (m_part != part)
        m_part = QRect();
    m_bits = bits;
    m_origin = part.topLeft();
    m_stride = bytesPerLine;
}

bool LineRaster::reaches(const QRectF& bounds) const
{
    const double reach = m_half + 0.5;
    return !m_part.isEmpty() && bounds.bottom() + reach >= m_part.top()
        && bounds.top() - reach <= m_part.bottom() + 1 && bounds.right() + reach >= m_part.left()
        && bounds.left() - reach <= m_part.right() + 1;
}

void LineRaster::segment(QPointF a, QPointF b, bool buttA, bool buttB)
{
    const double reach = m_half + 0.5; // beyond it a pixel gets nothing
    // Segments that cannot reach the part drawn are dropped first.
    if (std::max(a.y(), b.y()) + reach < m_part.top() || std::min(a.y(), b.y()) - reach > m_part.bottom() + 1
        || std::max(a.x(), b.x()) + reach < m_part.left() || std::min(a.x(), b.x()) - reach > m_part.right() + 1)
        return;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double length = std::sqrt(dx * dx + dy * dy);
    const Segment s { a,
                      b,
                      length,
                      length > 0 ? dx / length : 1,
                      length > 0 ? dy / length : 0,
                      reach,
                      buttA,
                      buttB };

    // Walk the major axis; across it, visit only the pixel centres the
    // line can reach. The axis is fixed for the whole segment, so each
    // walk is its own loop with no test of it per pixel.
    const auto walk = [&]<bool alongX>() {
        const double major0 = alongX ? std::min(a.x(), b.x()) : std::min(a.y(), b.y());
        const double major1 = alongX ? std::max(a.x(), b.x()) : std::max(a.y(), b.y());
        const double slope = alongX ? (dx != 0 ? dy / dx : 0) : (dy != 0 ? dx / dy : 0);
        const double across = reach * std::sqrt(1 + slope * slope);
        const QPointF start = alongX ? (a.x() <= b.x() ? a : b) : (a.y() <= b.y() ? a : b);
        const int firstMajor = alongX ? m_part.left() : m_part.top();
        const int lastMajor = alongX ? m_part.right() : m_part.bottom();
        const int firstMinor = alongX ? m_part.top() : m_part.left();
        const int lastMinor = alongX ? m_part.bottom() : m_part.right();

        const int first = std::max(firstMajor, int(std::ceil(major0 - reach - 0.5)));
        const int last = std::min(lastMajor, int(std::floor(major1 + reach - 0.5)));
        for (int m = first; m <= last; ++m) {
            const double centre = m + 0.5;
            const double along = std::clamp(centre, major0, major1);
            const double minor
                = alongX ? start.y() + (along - start.x()) * slope : start.x() + (along - start.y()) * slope;
            const int from = std::max(firstMinor, int(std::ceil(minor - across - 0.5)));
            const int to = std::min(lastMinor, int(std::floor(minor + across - 0.5)));
            if constexpr (alongX) {
                uchar* const column = m_bits + qsizetype(m - m_origin.x()) * qsizetype(sizeof(QRgb));
                for (int n = from; n <= to; ++n) {
                    const double cover = s.coverage(centre, n + 0.5);
                    auto* pixel = reinterpret_cast<QRgb*>(column + qsizetype(n - m_origin.y()) * m_stride);
                    // The larger coverage wins; none (alpha 0) leaves the pixel.
                    const int alpha = std::max(0, int(std::min(cover, 1.0) * 255 + 0.5));
                    const QRgb was = *pixel;
                    *pixel = alpha > int(qAlpha(was)) ? m_shades[std::size_t(alpha)] : was;
                }
            } else {
                auto* const row = reinterpret_cast<QRgb*>(m_bits + qsizetype(m - m_origin.y()) * m_stride)
                    - m_origin.x();
                for (int n = from; n <= to; ++n) {
                    const double cover = s.coverage(n + 0.5, centre);
                    QRgb& pixel = row[n];
                    const int alpha = std::max(0, int(std::min(cover, 1.0) * 255 + 0.5));
                    const QRgb was = pixel;
                    pixel = alpha > int(qAlpha(was)) ? m_shades[std::size_t(alpha)] : was;
                }
            }
        }
    };
    if (std::abs(dx) >= std::abs(dy))
        walk.template operator()<true>();
    else
        walk.template operator()<false>();
}

void LineRaster::polylines(const PixelPolylines& lines)
{
    for (std::size_t i = 0; i < lines.lines.size(); ++i)
        if (reaches(lines.bounds[i]))
            polyline(lines.lines[i].constData(), lines.lines[i].size());
}

void LineRaster::polyline(const QPointF* points, qsizetype count)
{
    if (!m_bits || count < 2 || m_part.isEmpty())
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
