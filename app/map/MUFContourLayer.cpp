#include "map/MUFContourLayer.h"

#include "map/LineRaster.h"
#include "map/MapContrast.h"
#include "map/PainterPixelRatio.h"
#include "map/PieceWork.h"
#include "map/PolylineSimplifier.h"
#include "support/Hypotenuse.h"
#include "support/NumberText.h"
#include "support/RowBands.h"
#include "support/VectorState.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// The polylines of a contour in the pixels of `toPixels`, keeping only
// the runs of segments that touch the area; a run starts and ends outside
// it, so no end of a piece is ever seen.
void visibleRuns(const QList<QList<QPointF>>& lines, const QTransform& toPixels, const QRectF& area,
                 PixelPolylines& runs)
{
    for (const QList<QPointF>& line : lines) {
        QPolygonF run;
        QPointF previous;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QPointF p = toPixels.map(line[i]);
            if (i > 0) {
                const bool touches = std::max(previous.x(), p.x()) >= area.left()
                    && std::min(previous.x(), p.x()) <= area.right() && std::max(previous.y(), p.y()) >= area.top()
                    && std::min(previous.y(), p.y()) <= area.bottom();
                if (touches) {
                    if (run.isEmpty())
                        run.append(previous);
                    run.append(p);
                } else if (!run.isEmpty()) {
                    runs.add(std::move(run));
                    run = QPolygonF();
                }
            }
            previous = p;
        }
        if (!run.isEmpty())
            runs.add(std::move(run));
    }
}

QList<QPointF> simplifiedLine(const QList<QPointF>& line, double tolerance)
{
    const qsizetype n = line.size();
    if (n < 3)
        return line;
    std::vector<char> keep(std::size_t(n), 0);
    keep.front() = keep.back() = 1;
    const auto point = [&line](qsizetype i) { return line[i]; };
    // A closed line starts and ends at one point: anchor it also at the
    // point farthest from there, so both halves have a chord.
    qsizetype far = n - 1;
    if (line.front() == line.back()) {
        double farDistance = -1;
        for (qsizetype i = 1; i < n - 1; ++i) {
            const QPointF d = line[i] - line.front();
            if (const double away = hypotenuse(d.x(), d.y()); away > farDistance) {
                farDistance = away;
                far = i;
            }
        }
        keep[std::size_t(far)] = 1;
        PolylineSimplifier::markFarPoints(point, 0, far, tolerance, keep);
    }
    PolylineSimplifier::markFarPoints(point, far == n - 1 ? 0 : far, n - 1, tolerance, keep);
    QList<QPointF> kept;
    for (qsizetype i = 0; i < n; ++i)
        if (keep[std::size_t(i)])
            kept.append(line[i]);
    return kept;
}

} // namespace

QList<MUFModel::Contour> MUFContourLayer::simplified(const QList<MUFModel::Contour>& contours, double tolerance)
{
    // The levels are independent: a part of the pool each.
    std::vector<MUFModel::Contour> thinned(contours.begin(), contours.end());
    RowBands::deal(int(thinned.size()), [&](int part, int parts) {
        for (std::size_t i = std::size_t(part); i < thinned.size(); i += std::size_t(parts))
            for (QList<QPointF>& line : thinned[i].lines)
                line = simplifiedLine(line, tolerance);
    });
    return QList<MUFModel::Contour>(thinned.begin(), thinned.end());
}

QSize MUFContourLayer::viewPixels(double ratio) const
{
    return QSize(int(std::ceil(projection.size.width() * ratio)), int(std::ceil(projection.size.height() * ratio)));
}

QList<QImage> MUFContourLayer::linePictures(const std::vector<PixelPolylines>& runs, const QRect& part,
                                            double ratio) const
{
    const QSize pixels = viewPixels(ratio);
    const bool any = !part.isEmpty() && std::any_of(runs.begin(), runs.end(), [](const PixelPolylines& level) {
        return !level.empty();
    });
    if (!any || runs.size() != std::size_t(contours.size()) || part != (part & QRect(QPoint(0, 0), pixels)))
        return {};
    QImage haloLines(part.size(), QImage::Format_ARGB32_Premultiplied);
    QImage lines(part.size(), QImage::Format_ARGB32_Premultiplied);
    if (haloLines.isNull() || lines.isNull())
        return {};
    QColor haloLine = halo;
    haloLine.setAlphaF(halo.alphaF() * 0.7f);
    haloLines.setDevicePixelRatio(ratio);
    haloLines.fill(Qt::transparent);
    LineRaster haloRaster(haloLines.bits(), pixels.width(), pixels.height(), haloLines.bytesPerLine(), haloLine,
                          3 * ratio);
    haloRaster.limitTo(part, haloLines.bits(), haloLines.bytesPerLine());
    for (const PixelPolylines& level : runs)
        haloRaster.polylines(level);
    lines.setDevicePixelRatio(ratio);
    lines.fill(Qt::transparent);
    for (qsizetype i = 0; i < contours.size(); ++i) {
        LineRaster raster(lines.bits(), pixels.width(), pixels.height(), lines.bytesPerLine(),
                          palette.color(contours[i].level), 1.4 * ratio);
        raster.limitTo(part, lines.bits(), lines.bytesPerLine());
        raster.polylines(runs[std::size_t(i)]);
    }
    return { haloLines, lines };
}

qint64 MUFContourLayer::lineWeight(const std::vector<PixelPolylines>& runs, const QRect& part, double ratio)
{
    const QRectF reach = QRectF(part).adjusted(-2 * ratio, -2 * ratio, 2 * ratio, 2 * ratio);
    qint64 points = 0;
    for (const PixelPolylines& level : runs)
        points += level.pointsReaching(reach);
    return points;
}

QString MUFContourLayer::label(double level) { return NumberText::fixed(level, level == std::round(level) ? 0 : 1); }

QFont MUFContourLayer::labelFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(10);
    font.setWeight(QFont::Bold);
    return font;
}

std::vector<PixelPolylines> MUFContourLayer::pixelRuns(double ratio) const
{
    VectorState::clean();
    // The view and a margin for the width of the halo line.
    const QTransform toPixels = projection.worldTransform() * QTransform::fromScale(ratio, ratio);
    const QRectF reach = QRectF(QPointF(0, 0), projection.size * ratio).adjusted(-3 * ratio, -3 * ratio, 3 * ratio, 3 * ratio);
    std::vector<PixelPolylines> runs(std::size_t(contours.size()));
    for (qsizetype i = 0; i < contours.size(); ++i)
        visibleRuns(contours[i].lines, toPixels, reach, runs[std::size_t(i)]);
    return runs;
}

void MUFContourLayer::draw(QPainter& painter) const { draw(painter, pixelRuns(devicePixelRatioOf(painter))); }

void MUFContourLayer::draw(QPainter& painter, const std::vector<PixelPolylines>& runs, PieceWork* ahead) const
{
    const QRectF view(QPointF(0, 0), projection.size);
    const QRectF drawn = painter.hasClipping() ? view.intersected(painter.clipBoundingRect()) : view;
    const QTransform world = projection.worldTransform();

    // The lines go through the map's own line raster rather than the
    // general stroker, which takes far too long over tens of thousands of
    // points: first every halo line, then every coloured line, each set
    // drawn into a clear picture of the drawn area and laid over the map.
    const double ratio = devicePixelRatioOf(painter);
    const QRect pixels = QRectF(drawn.topLeft() * ratio, drawn.size() * ratio).toAlignedRect();
    if (pixels.isEmpty())
        return;
    const QRect part = pixels & QRect(QPoint(0, 0), viewPixels(ratio));
    const QList<QImage> lines = ahead ? ahead->take(part) : linePictures(runs, part, ratio);
    const QPointF target = QPointF(part.topLeft()) / ratio;
    for (const QImage& picture : lines)
        painter.drawImage(target, picture);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QFont font = labelFont();
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    QColor plate = halo;
    plate.setAlphaF(halo.alphaF() * 0.75f);
    const double width = projection.size.width();
    const double height = projection.size.height();
    for (const MUFModel::Contour& contour : contours) {
        if (contour.labels.isEmpty())
            continue;
        const QString text = label(contour.level);
        const double w = metrics.horizontalAdvance(text);
        const double h = metrics.height();
        const QColor colour = MapContrast::onHalo(palette.color(contour.level), halo);
        for (const QPointF& at : contour.labels) {
            const QPointF p = world.map(at);
            if (!(p.x() > -20 && p.x() < width + 20 && p.y() > -20 && p.y() < height + 20))
                continue;
            const QRectF plateRect(p.x() - w / 2 - 3, p.y() - h / 2, w + 6, h);
            if (!plateRect.intersects(drawn))
                continue;
            QPainterPath rounded;
            rounded.addRoundedRect(plateRect, 4, 4);
            painter.fillPath(rounded, plate);
            painter.setPen(colour);
            // Centred on the point: half the advance to the left, the
            // text's box centred vertically.
            const double baseline = p.y() - h / 2 + metrics.ascent();
            painter.drawText(QPointF(p.x() - w / 2, baseline), text);
        }
    }
    painter.restore();
}
