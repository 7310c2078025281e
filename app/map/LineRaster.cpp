#include "map/LineRaster.h"

#include "map/PremultipliedShades.h"
#include "support/VectorState.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__aarch64__)
#include <arm_neon.h>
#endif

// Every pixel's coverage is rounded step by step, the same on every
// processor: no step may be fused into a multiply-add, which rounds once
// instead of twice and which compilers for arm64 make by default (the
// build turns that off for this file).

// The walks below are built twice on x86-64, for processors with AVX2
// (whose rounding instructions and encodings make them markedly faster)
// and for the rest, the one to run chosen as the program loads. AVX2
// alone brings no fused multiply-add, so both draw the same pixels.
#if defined(__x86_64__) || defined(__i386__)
#define LINE_RASTER_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define LINE_RASTER_CLONES
#endif

namespace {

// Two pixel centres at a time, in the processor's 16-byte vectors (SSE2 on
// every x86-64 processor, NEON on arm64).
typedef double Pair __attribute__((vector_size(16)));
using Lanes = decltype(Pair {} < Pair {}); // a comparison's all-ones or zero per lane

Pair both(double value) { return Pair { value, value }; }

// The square root of each lane; correctly rounded everywhere.
__attribute__((always_inline)) inline Pair squareRoot(Pair value)
{
#if defined(__SSE2__)
    return _mm_sqrt_pd(value);
#elif defined(__aarch64__)
    return vsqrtq_f64(value);
#else
    return Pair { __builtin_sqrt(value[0]), __builtin_sqrt(value[1]) };
#endif
}

// Each lane rounded towards zero to an integer, anything below 0 (or no
// number at all) as 0.
__attribute__((always_inline)) inline void truncatedAtZero(Pair value, int& first, int& second)
{
#if defined(__SSE2__)
    // Out of range and NaN come back as INT_MIN.
    const __m128i truncated = _mm_cvttpd_epi32(value);
    first = std::max(0, _mm_cvtsi128_si32(truncated));
    second = std::max(0, _mm_cvtsi128_si32(_mm_srli_si128(truncated, 4)));
#else
    first = value[0] > 0 ? int(value[0]) : 0;
    second = value[1] > 0 ? int(value[1]) : 0;
#endif
}

// A whole number of pixels as a pixel index, kept within lo...hi before it
// becomes an int: beyond int's range the conversion is undefined (x86-64
// makes INT_MIN of it, arm64 the nearest end), and a line reaching far off
// the picture must still draw its visible part. No number at all gives lo.
__attribute__((always_inline)) inline int pixelIndex(double whole, int lo, int hi)
{
    return whole >= lo ? (whole <= hi ? int(whole) : hi) : lo;
}

// A segment as its pixels see it, two pixel centres at a time: the unit
// vector along it, its reach (half the width and half a pixel of
// smoothing) and whether its ends are cut square. Every lane does exactly
// the arithmetic of one pixel, so a pixel's coverage does not depend on its
// neighbour in the pair.
struct Segment {
    Pair ax, ay, bx, by;
    Pair ux, uy;
    Pair length;
    Pair reach;
    Pair endB; // 0.5 + length, where a square end at b cuts
    bool buttA;
    bool buttB;

    Segment(QPointF a, QPointF b, double length, double ux, double uy, double reach, bool buttA, bool buttB)
        : ax(both(a.x()))
        , ay(both(a.y()))
        , bx(both(b.x()))
        , by(both(b.y()))
        , ux(both(ux))
        , uy(both(uy))
        , length(both(length))
        , reach(both(reach))
        , endB(both(0.5 + length))
        , buttA(buttA)
        , buttB(buttB)
    {
    }

    // The alpha (0...255) of two pixel centres from their coverage: by the
    // distance from the line, rounded beyond an end where segments join,
    // cut square at a dash's end; nothing at all from the reach on. Where
    // one of two values is NaN, a minimum takes the second.
    __attribute__((always_inline)) void alphas(Pair px, Pair py, int& first, int& second) const
    {
        const Pair zero {};
        const Pair qx = px - ax;
        const Pair qy = py - ay;
        const Pair along = qx * ux + qy * uy;
        const Pair cross = qx * uy - qy * ux;
        const Pair side = Pair(Lanes(cross) & ~Lanes(both(-0.0))); // its sign bit cleared
        const Lanes before = along < zero;
        Lanes round {};
        if (!buttA)
            round = before;
        if (!buttB)
            round |= along > length;
        const Pair ex = px - (before ? ax : bx);
        const Pair ey = py - (before ? ay : by);
        const Pair fromEnd = reach - squareRoot(ex * ex + ey * ey);
        const Pair fromLine = reach - side;
        Pair cover = round ? fromEnd : fromLine;
        // min(cover, cut) takes the cut only where it is smaller.
        if (buttA) {
            const Pair cut = both(0.5) + along;
            cover = cut < cover ? cut : cover;
        }
        if (buttB) {
            const Pair cut = endB - along;
            cover = cut < cover ? cut : cover;
        }
        cover = side < reach ? cover : zero;
        const Pair one = both(1.0);
        truncatedAtZero((one < cover ? one : cover) * both(255.0) + both(0.5), first, second);
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

// Built twice like polyline, which calls it.
LINE_RASTER_CLONES void LineRaster::segment(QPointF a, QPointF b, bool buttA, bool buttB)
{
    const double reach = m_half + 0.5; // beyond it a pixel gets nothing
    // Segments that cannot reach the part drawn are dropped first.
    if (std::max(a.y(), b.y()) + reach < m_part.top() || std::min(a.y(), b.y()) - reach > m_part.bottom() + 1
        || std::max(a.x(), b.x()) + reach < m_part.left() || std::min(a.x(), b.x()) - reach > m_part.right() + 1)
        return;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double length = std::sqrt(dx * dx + dy * dy);
    const Segment s(a, b, length, length > 0 ? dx / length : 1, length > 0 ? dy / length : 0, reach, buttA, buttB);

    // Walk the major axis; across it, visit only the pixel centres the
    // line can reach. The axis is fixed for the whole segment, so each
    // walk is its own loop with no test of it per pixel.
    const auto walk = [&]<bool alongX>() __attribute__((always_inline)) {
        const double major0 = alongX ? std::min(a.x(), b.x()) : std::min(a.y(), b.y());
        const double major1 = alongX ? std::max(a.x(), b.x()) : std::max(a.y(), b.y());
        const double slope = alongX ? (dx != 0 ? dy / dx : 0) : (dy != 0 ? dx / dy : 0);
        const double across = reach * std::sqrt(1 + slope * slope);
        const QPointF start = alongX ? (a.x() <= b.x() ? a : b) : (a.y() <= b.y() ? a : b);
        const int firstMajor = alongX ? m_part.left() : m_part.top();
        const int lastMajor = alongX ? m_part.right() : m_part.bottom();
        const int firstMinor = alongX ? m_part.top() : m_part.left();
        const int lastMinor = alongX ? m_part.bottom() : m_part.right();

        const int first = pixelIndex(std::ceil(major0 - reach - 0.5), firstMajor, lastMajor + 1);
        const int last = pixelIndex(std::floor(major1 + reach - 0.5), firstMajor - 1, lastMajor);
        for (int m = first; m <= last; ++m) {
            const double centre = m + 0.5;
            const double along = std::clamp(centre, major0, major1);
            const double minor
                = alongX ? start.y() + (along - start.x()) * slope : start.x() + (along - start.y()) * slope;
            const int from = pixelIndex(std::ceil(minor - across - 0.5), firstMinor, lastMinor + 1);
            const int to = pixelIndex(std::floor(minor + across - 0.5), firstMinor - 1, lastMinor);
            // The larger coverage wins; none (alpha 0) leaves the pixel.
            const auto put = [this](QRgb& pixel, int alpha) {
                const QRgb was = pixel;
                pixel = alpha > int(qAlpha(was)) ? m_shades[std::size_t(alpha)] : was;
            };
            const Pair centres = both(centre);
            if constexpr (alongX) {
                uchar* const column = m_bits + qsizetype(m - m_origin.x()) * qsizetype(sizeof(QRgb));
                const auto pixel = [&](int n) -> QRgb& {
                    return *reinterpret_cast<QRgb*>(column + qsizetype(n - m_origin.y()) * m_stride);
                };
                for (int n = from; n <= to; n += 2) {
                    int first, second;
                    s.alphas(centres, Pair { n + 0.5, n + 1.5 }, first, second);
                    put(pixel(n), first);
                    if (n < to)
                        put(pixel(n + 1), second);
                }
            } else {
                auto* const row = reinterpret_cast<QRgb*>(m_bits + qsizetype(m - m_origin.y()) * m_stride)
                    - m_origin.x();
                for (int n = from; n <= to; n += 2) {
                    int first, second;
                    s.alphas(Pair { n + 0.5, n + 1.5 }, centres, first, second);
                    put(row[n], first);
                    if (n < to)
                        put(row[n + 1], second);
                }
            }
        }
    };
    if (std::abs(dx) >= std::abs(dy))
        walk.template operator()<true>();
    else
        walk.template operator()<false>();
}

// Built twice on x86-64, as is segment.
LINE_RASTER_CLONES void LineRaster::polyline(const QPointF* points, qsizetype count)
{
    // Qt's fills in the same band may have left the vector state dirty.
    VectorState::clean();
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

void LineRaster::polylines(const PixelPolylines& lines)
{
    for (std::size_t i = 0; i < lines.lines.size(); ++i)
        if (reaches(lines.bounds[i]))
            polyline(lines.lines[i].constData(), lines.lines[i].size());
}
