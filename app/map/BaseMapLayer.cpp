#include "map/BaseMapLayer.h"

#include "geo/MapData.h"
#include "kit/Color.h"
#include "kit/DigitCells.h"
#include "kit/LabelFonts.h"
#include "map/HaloText.h"
#include "map/PainterPixelRatio.h"
#include "map/PolylineSimplifier.h"
#include "support/Hypotenuse.h"
#include "support/RowBands.h"
#include "support/VectorState.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace {

// A pen whose width stays in view points whatever transform the painter
// carries: cosmetic widths are device pixels, so scale by the pixel ratio.
// (Cosmetic pens are also the raster engine's fast way to draw thin
// lines.)
QPen outlinePen(const QColor& color, double widthPoints, double ratio)
{
    // A negative or broken width from the settings draws the thinnest line.
    QPen pen(color, std::isfinite(widthPoints) && widthPoints > 0 ? widthPoints * ratio : 0.0);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setMiterLimit(10);
    return pen;
}

// A line as dashes of `on` view points separated by gaps of `off`,
// starting with a dash at `from`. Spelled out rather than left to a dashed
// pen, so a picture drawn in bands has its dashes exactly where a picture
// drawn whole has them.
//
// Only the dashes that reach the rows [top, bottom] (view points) are
// added: each dash is a line of its own, so those that cannot show in the
// part being drawn change nothing there.
void addDashes(QPainterPath& path, QPointF from, QPointF to, double on, double off, double top, double bottom)
{
    const QPointF step = to - from;
    const double length = hypotenuse(step.x(), step.y());
    if (!(length > 0) || !std::isfinite(length))
        return;
    const QPointF unit = step / length;
    for (double t = 0; t < length; t += on + off) {
        const QPointF start = from + unit * t;
        const QPointF end = from + unit * std::min(t + on, length);
        if (std::max(start.y(), end.y()) < top || std::min(start.y(), end.y()) > bottom)
            continue;
        path.moveTo(start);
        path.lineTo(end);
    }
}

QString longitudeLabel(int lon)
{
    if (lon == 0)
        return QStringLiteral("0°");
    return QString::number(std::abs(lon)) + QStringLiteral("°") + (lon < 0 ? u'W' : u'E');
}

QString latitudeLabel(int lat)
{
    if (lat == 0)
        return QStringLiteral("0°");
    return QString::number(std::abs(lat)) + QStringLiteral("°") + (lat > 0 ? u'N' : u'S');
}

// Bands of one picture are drawn on several threads at once, and nothing
// draws the shared outlines themselves. Drawing a path makes the paint
// engine build a form of it that Qt keeps inside the path's data, and
// every copy of a path shares that data: two threads drawing one outline,
// or two copies of it, could build that form at the same moment. So each
// drawing adds the pieces it needs to paths of its own (an empty path
// given room for the elements and then the elements holds data of its
// own, shared with nobody), and the shared outlines are only read: their
// elements and fill rule, with their bounds taken when they were built.
QPainterPath ownCopy(const QPainterPath& shared)
{
    QPainterPath own;
    own.reserve(shared.elementCount());
    own.addPath(shared);
    own.setFillRule(shared.fillRule());
    return own;
}

// The pieces of a kind (countries or lakes) that reach into the area being
// drawn (`reach`, degree space). A piece with holes is filled from a copy
// of its own; single rings are filled from their points.
struct ShownPieces {
    std::vector<const BaseMapPiece*> pieces;
    std::vector<QPainterPath> holed; // copies of the pieces with holes, in order

    ShownPieces(const std::vector<BaseMapPiece>& all, const QRectF& reach, bool filled)
    {
        for (const BaseMapPiece& piece : all)
            if (piece.bounds.intersects(reach)) {
                pieces.push_back(&piece);
                if (filled && piece.ring.isEmpty())
                    holed.push_back(ownCopy(piece.path));
            }
    }
};

// The outlines of the shown pieces, stroked in one go. Their points are
// put into view points here rather than by the painter's transform: Qt's
// own mapping fuses its multiply-adds on arm64, and the few points that
// land a last bit apart there move the smoothing of a few border pixels.
// From view points to device pixels is exact at whole pixel ratios.
void drawOutlines(QPainter& painter, const ShownPieces& shown, const MapProjection& projection, const QColor& color,
                  double widthPoints)
{
    if (shown.pieces.empty() || color.alpha() == 0)
        return;
    const double ratio = devicePixelRatioOf(painter);
    const QTransform world = projection.worldTransform();
    const auto toView = [sx = world.m11(), sy = world.m22(), tx = world.dx(), ty = world.dy()](double x, double y) {
        return QPointF(sx * x + tx, sy * y + ty);
    };
    int elements = 0;
    for (const BaseMapPiece* piece : shown.pieces)
        elements += piece->path.elementCount();
    QPainterPath rings;
    rings.reserve(elements);
    QPolygonF ring;
    for (const BaseMapPiece* piece : shown.pieces) {
        if (!piece->ring.isEmpty()) {
            ring.resize(piece->ring.size());
            for (qsizetype i = 0; i < ring.size(); ++i)
                ring[i] = toView(piece->ring[i].x(), piece->ring[i].y());
            rings.addPolygon(ring);
            ring.clear();
            continue;
        }
        const QPainterPath& path = piece->path;
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element e = path.elementAt(i);
            if (e.isMoveTo() && !ring.isEmpty()) {
                rings.addPolygon(ring);
                ring.clear();
            }
            ring.append(toView(e.x, e.y));
        }
        if (!ring.isEmpty())
            rings.addPolygon(ring);
        ring.clear();
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.strokePath(rings, outlinePen(color, widthPoints, ratio));
    painter.restore();
}

// The part of the world (degree space) whose outlines can show in what the
// painter draws: the view, or the part of it being drawn, widened by the
// reach of a border line past its piece (half its width and a pixel of
// smoothing).
QRectF reachedDegrees(const QPainter& painter, const MapProjection& projection, double borderWidth)
{
    const QRectF view(QPointF(0, 0), projection.size);
    const QRectF drawn = painter.hasClipping() ? view.intersected(painter.clipBoundingRect()) : view;
    const double margin = (std::isfinite(borderWidth) && borderWidth > 0 ? borderWidth : 0) + 2;
    return projection.worldTransform().inverted().mapRect(drawn.adjusted(-margin, -margin, margin, margin));
}

// Detail levels of the shared outlines, coarsest first, as the largest
// deviation (degrees) a simplified outline may have from the data.
constexpr std::array<double, 5> detailTolerances { 0.1, 0.05, 0.025, 0.0125, 0.0 };

// The country and lake data are read once per process and turned into
// paths once, at every detail level (thread-safe static initialisation).
const std::array<BaseMapPaths, 5>& detailLevels()
{
    static const std::array<BaseMapPaths, 5> levels = [] {
        const QList<CountryShape> countries = MapData::countries();
        const QList<Lake> lakes = MapData::lakes();
        VectorState::clean(); // the start's string work ran before the arithmetic
        std::array<BaseMapPaths, 5> built;
        for (std::size_t i = 0; i < detailTolerances.size(); ++i)
            built[i] = BaseMapPaths::build(countries, lakes, detailTolerances[i]);
        return built;
    }();
    return levels;
}

// Draws a picture in bands of rows (RowBands), each band with a painter
// of its own on its own slice of the image's memory.
//
// Besides spreading the work, this sidesteps a cost of Qt's raster engine:
// painting on a thread outside the pool, it hands the spans of every large
// primitive to the pool in slices and waits for them, which for a map
// (thousands of polygons, one span per scan line of every long thin line)
// means a thread hand-over per primitive.
template <typename Draw>
void renderInBands(QImage& image, const Draw& drawBand)
{
    uchar* const bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    const double ratio = image.devicePixelRatio();
    RowBands::run(image.height(), [&](int top, int bottom) {
        const int rows = bottom - top;
        QImage slice(bits + top * bytesPerLine, image.width(), rows, bytesPerLine, image.format());
        slice.setDevicePixelRatio(ratio);
        QPainter painter(&slice);
        painter.translate(0, -top / ratio);
        painter.setClipRect(QRectF(0, top / ratio, image.width() / ratio, rows / ratio));
        drawBand(painter);
    });
}

} // namespace

const BaseMapPaths& BaseMapLayer::paths() { return detailLevels().back(); }

const BaseMapPaths& BaseMapLayer::paths(const MapProjection& projection, double pixelRatio)
{
    // Device pixels per degree; points nearer than a third of a pixel to
    // the simplified line make no visible difference.
    const double perDegree = std::max(projection.worldWidth() / 360.0, projection.worldHeight() / 180.0) * pixelRatio;
    const double allowed = perDegree > 0 ? 0.33 / perDegree : detailTolerances.front();
    for (std::size_t i = 0; i < detailTolerances.size(); ++i)
        if (detailTolerances[i] <= allowed)
            return detailLevels()[i];
    return detailLevels().back();
}

QFont gridLabelFont(const QString& family, double size) { return labelFont(family, size, false); }

bool gridLabelEqualDigits(const QString& family) { return isSystemFontFamily(family); }

QColor gridLabelColor(const QString& stored, MapStyle style)
{
    if (!stored.isEmpty())
        return Color::fromHex(stored);
    return MapStyles::isLight(style) ? QColor::fromRgbF(0, 0, 0, 0.55f) : QColor::fromRgbF(1, 1, 1, 0.55f);
}

void BaseMapPaths::addRing(QPainterPath& path, const double* ring, qsizetype count, double tolerance)
{
    if (count < 6)
        return;
    const qsizetype points = count / 2;
    std::vector<char> keep(std::size_t(points), 1);
    if (tolerance > 0) {
        // A ring smaller than the tolerance vanishes at this detail.
        double west = ring[0], east = ring[0], north = ring[1], south = ring[1];
        for (qsizetype i = 1; i < points; ++i) {
            west = std::min(west, ring[2 * i]);
            east = std::max(east, ring[2 * i]);
            south = std::min(south, ring[2 * i + 1]);
            north = std::max(north, ring[2 * i + 1]);
        }
        if (east - west < tolerance && north - south < tolerance)
            return;
    }
    if (tolerance > 0 && points > 3) {
        // A ring starts and often ends at the same point: anchor it at its
        // start and at the point farthest from the start.
        std::fill(keep.begin(), keep.end(), 0);
        qsizetype far = 0;
        double farDistance = -1;
        for (qsizetype i = 1; i < points; ++i) {
            const double d = hypotenuse(ring[2 * i] - ring[0], ring[2 * i + 1] - ring[1]);
            if (d > farDistance) {
                farDistance = d;
                far = i;
            }
        }
        keep[0] = keep[std::size_t(far)] = keep[std::size_t(points - 1)] = 1;
        const auto point = [ring](qsizetype i) { return QPointF(ring[2 * i], ring[2 * i + 1]); };
        PolylineSimplifier::markFarPoints(point, 0, far, tolerance, keep);
        PolylineSimplifier::markFarPoints(point, far, points - 1, tolerance, keep);
        if (std::count(keep.begin(), keep.end(), 1) < 3)
            return; // a sliver thinner than the tolerance
    }
    bool started = false;
    for (qsizetype i = 0; i < points; ++i) {
        if (!keep[std::size_t(i)])
            continue;
        const QPointF p(ring[2 * i] + 180.0, 90.0 - ring[2 * i + 1]);
        if (started) {
            path.lineTo(p);
        } else {
            path.moveTo(p);
            started = true;
        }
    }
    path.closeSubpath();
}

void BaseMapPaths::addPiece(std::vector<BaseMapPiece>& pieces, QPainterPath path, int group)
{
    if (path.isEmpty())
        return;
    const QRectF bounds = path.boundingRect();
    QPolygonF ring;
    const int count = path.elementCount();
    bool single = true;
    for (int i = 1; i < count && single; ++i)
        single = path.elementAt(i).isLineTo();
    if (single) {
        ring.reserve(count);
        for (int i = 0; i < count; ++i)
            ring.append(QPointF(path.elementAt(i).x, path.elementAt(i).y));
    }
    pieces.push_back({ std::move(path), bounds, group, std::move(ring) });
}

void BaseMapPaths::finish()
{
    for (BaseMapPiece& piece : countryPieces) {
        piece.path.setFillRule(Qt::OddEvenFill);
        land.addPath(piece.path);
    }
    for (BaseMapPiece& piece : lakePieces) {
        piece.path.setFillRule(Qt::WindingFill);
        lakes.addPath(piece.path);
    }
    land.setFillRule(Qt::OddEvenFill);
    lakes.setFillRule(Qt::WindingFill);
}

void BaseMapLayer::paint(QPainter& painter, Picture& picture) const
{
    const double ratio = devicePixelRatioOf(painter);
    if (picture.m_image.isNull() || picture.m_ratio != ratio || !(picture.m_layer == *this)) {
        const QSize pixels(int(std::ceil(projection.size.width() * ratio)),
                           int(std::ceil(projection.size.height() * ratio)));
        if (pixels.isEmpty())
            return;
        // The ocean covers every pixel with opaque colour, so the picture
        // needs no alpha channel and copies to the screen without blending;
        // and the previous picture's memory serves again when the size holds.
        QImage image = std::move(picture.m_image); // the picture holds none until done
        if (image.size() != pixels)
            image = QImage(pixels, QImage::Format_RGB32);
        if (image.isNull()) {
            draw(painter, paths(projection, ratio));
            return;
        }
        image.setDevicePixelRatio(ratio);
        const BaseMapPaths& outlines = paths(projection, ratio);
        renderInBands(image, [&](QPainter& band) { draw(band, outlines); });
        picture.m_layer = *this;
        picture.m_ratio = ratio;
        picture.m_image = std::move(image);
        ++picture.m_renders;
    }
    painter.drawImage(QPointF(0, 0), picture.m_image);
}

void BaseMapLayer::draw(QPainter& painter, const BaseMapPaths& outlines) const
{
    const QRectF view(QPointF(0, 0), projection.size);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);

    // The gradient belongs to the view, not the world: it stays put while
    // the map pans and zooms.
    QLinearGradient ocean(QPointF(0, 0), QPointF(0, view.height()));
    ocean.setColorAt(0, MapStyles::oceanTop(style));
    ocean.setColorAt(1, MapStyles::oceanBottom(style));
    painter.fillRect(view, ocean);

    // Only pieces that reach into the view (or the part of it being drawn)
    // are drawn.
    const QTransform world = projection.worldTransform();
    const QRectF reach = reachedDegrees(painter, projection, borders.width);
    const bool filled = style != MapStyle::outline;
    const ShownPieces countries(outlines.countryPieces, reach, filled);
    const ShownPieces lakes(outlines.lakePieces, reach, filled);
    auto fill = [&](const ShownPieces& shown, auto colorOf) {
        std::size_t holed = 0;
        for (const BaseMapPiece* piece : shown.pieces) {
            const std::optional<QColor> color = colorOf(*piece);
            if (piece->ring.isEmpty()) {
                const QPainterPath& path = shown.holed[holed++];
                if (color)
                    painter.fillPath(path, *color);
            } else if (color) {
                painter.setBrush(*color);
                painter.drawPolygon(piece->ring.constData(), int(piece->ring.size()), piece->path.fillRule());
            }
        }
    };

    painter.save();
    painter.setTransform(world, true);
    painter.setPen(Qt::NoPen);
    // Fills are aliased: every filled edge lies under an antialiased border
    // or shore line drawn next, which hides the steps, and aliased fills
    // cost a fraction of smoothed ones and leave no seams between
    // neighbouring countries.
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (style == MapStyle::political) {
        // Countries outside groups 1...7 get no fill and show the ocean.
        const auto& palette = MapStyles::politicalPalette();
        fill(countries, [&](const BaseMapPiece& piece) -> std::optional<QColor> {
            if (piece.group < 1 || piece.group > 7)
                return std::nullopt;
            return palette[std::size_t(piece.group - 1) % palette.size()];
        });
    } else if (style != MapStyle::outline) {
        const QColor land = MapStyles::land(style);
        fill(countries, [&](const BaseMapPiece&) { return std::optional(land); });
    }
    painter.restore();
    drawOutlines(painter, countries, projection, borders.color, borders.width);

    // Lakes cover the borders that run through them, then get their shore.
    if (style != MapStyle::outline) {
        const QColor lake = MapStyles::oceanTop(style);
        painter.save();
        painter.setTransform(world, true);
        painter.setPen(Qt::NoPen);
        painter.setRenderHint(QPainter::Antialiasing, false);
        fill(lakes, [&](const BaseMapPiece&) { return std::optional(lake); });
        painter.restore();
    }
    drawOutlines(painter, lakes, projection, borders.color, 0.7 * borders.width);

    if (showGrid)
        drawGrid(painter);
    painter.restore();
}

void BaseMapLayer::drawGrid(QPainter& painter) const
{
    const double ratio = devicePixelRatioOf(painter);
    const double w = projection.worldWidth();
    const double h = projection.worldHeight();
    const QPointF o = projection.origin();
    const QSizeF size = projection.size;
    const bool light = MapStyles::isLight(style);
    auto x = [&](double lon) { return o.x() + (lon + 180.0) / 360.0 * w; };
    auto y = [&](double lat) { return o.y() + (90.0 - lat) / 180.0 * h; };

    const QColor minorColor = light ? QColor::fromRgbF(0, 0, 0, 0.15) : QColor::fromRgbF(1, 1, 1, 0.09);
    const QColor majorColor = light ? QColor::fromRgbF(0, 0, 0, 0.3) : QColor::fromRgbF(1, 1, 1, 0.2);

    // Lines and dashes that cannot reach the part being drawn (with room
    // for the width of their pens and their smoothing) are left out.
    const QRectF view(QPointF(0, 0), size);
    const QRectF drawn = painter.hasClipping() ? view.intersected(painter.clipBoundingRect()) : view;
    const double top = drawn.top() - 4;
    const double bottom = drawn.bottom() + 4;

    // Light styles dash the minor lines 3 on, 3 off; dark styles draw them
    // solid. The prime meridian and the equator are solid and stronger.
    QPainterPath minor;
    QPainterPath major;
    auto addLine = [&](QPainterPath& path, QPointF from, QPointF to, bool dashed) {
        if (dashed) {
            addDashes(path, from, to, 3, 3, top, bottom);
        } else if (std::max(from.y(), to.y()) >= top && std::min(from.y(), to.y()) <= bottom) {
            path.moveTo(from);
            path.lineTo(to);
        }
    };
    for (int lon = -165; lon <= 165; lon += 15) {
        if (lon == 0)
            addLine(major, QPointF(x(lon), 0), QPointF(x(lon), size.height()), false);
        else
            addLine(minor, QPointF(x(lon), 0), QPointF(x(lon), size.height()), light);
    }
    for (int lat = -75; lat <= 75; lat += 15) {
        if (lat == 0)
            addLine(major, QPointF(0, y(lat)), QPointF(size.width(), y(lat)), false);
        else
            addLine(minor, QPointF(0, y(lat)), QPointF(size.width(), y(lat)), light);
    }
    painter.strokePath(minor, outlinePen(minorColor, 0.5, ratio));
    painter.strokePath(major, outlinePen(majorColor, 0.8, ratio));

    // Tropics and polar circles: 23.44° and 66.56° north and south, dashed
    // 4 on, 4 off on every style.
    QPainterPath circles;
    for (double f : { 0.3697778, 0.6302222, 0.1302222, 0.8697778 })
        addDashes(circles, QPointF(0, o.y() + f * h), QPointF(size.width(), o.y() + f * h), 4, 4, top, bottom);
    painter.strokePath(circles, outlinePen(minorColor, 0.6, ratio));

    // Labels sit with their bottom-leading corner at the anchor: the
    // baseline is one descent above it.
    painter.setFont(gridLabels.font);
    painter.setPen(gridLabels.color);
    const double descent = QFontMetricsF(gridLabels.font, painter.device()).descent();
    // Labels that cannot reach the part being drawn are skipped before
    // their text is laid out (none is wider than a dozen font sizes).
    const double reach = 12 * QFontInfo(gridLabels.font).pixelSize() + 4;
    const auto label = [&](const QPointF& at, const QString& text) {
        if (!drawn.intersects(QRectF(at.x() - 4, at.y() - reach, reach, 2 * reach)))
            return;
        if (gridLabels.equalDigits)
            DigitCells::draw(painter, at, text);
        else
            painter.drawText(at, text);
    };
    for (int lon = -150; lon <= 150; lon += 30)
        label(QPointF(x(lon) + 3, size.height() - 3 - descent), longitudeLabel(lon));
    for (int lat = -60; lat <= 60; lat += 30)
        label(QPointF(3, y(lat) - 2 - descent), latitudeLabel(lat));
}

void BorderOverlayLayer::draw(QPainter& painter, const BaseMapPaths& outlines) const
{
    const QRectF reach = reachedDegrees(painter, projection, borders.width);
    drawOutlines(painter, ShownPieces(outlines.countryPieces, reach, false), projection, borders.color, borders.width);
    drawOutlines(painter, ShownPieces(outlines.lakePieces, reach, false), projection, borders.color,
                 0.7 * borders.width);
}
