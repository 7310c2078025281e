#include "map/RotatorLayer.h"

#include "kit/Color.h"
#include "map/MapContrast.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

// The label's font: the system font at 12 points, bold.
const QFont& labelFont()
{
    static const QFont font = [] {
        QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setPixelSize(12);
        font.setWeight(QFont::Bold);
        return font;
    }();
    return font;
}

// The label's plate around its text.
constexpr double platePaddingX = 4;
constexpr double platePaddingY = 1;

// How one of a rotator's lines is stroked. Dashes are in points (0: solid).
struct LineStyle {
    double bearing;
    double opacity;
    double width;
    double haloWidth;
    double dashOn = 0;
    double dashOff = 0;
};

QPen linePen(const QColor& color, double width, const LineStyle& style)
{
    QPen pen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    if (style.dashOn > 0) {
        // Qt counts dashes in pen widths.
        pen.setDashPattern({ style.dashOn / width, style.dashOff / width });
        pen.setDashOffset(0);
    }
    return pen;
}

} // namespace

double RotatorLayer::halfWidth(double beamWidth) { return std::max(beamWidth * 0.5, 1.0); }

QPolygonF RotatorLayer::wedge(const GeoCoordinate& from, double heading, double half, double innerKm, double outerKm)
{
    const double a = innerKm;
    const double b = outerKm;
    const double step = std::max((b - a) / 20.0, 250.0);
    const double left = heading - half;
    const double right = heading + half;
    const double sweep = right - left;

    QPolygonF polygon;
    double previous = 0;
    auto add = [&](const GeoCoordinate& c) {
        double lon = c.longitude;
        if (!polygon.isEmpty()) {
            while (lon - previous > 180)
                lon -= 360;
            while (lon - previous < -180)
                lon += 360;
        }
        previous = lon;
        polygon.append(QPointF(lon + 180.0, 90.0 - c.latitude));
    };
    auto at = [&](double bearing, double km) { add(GeoMath::destination(from, bearing, km)); };

    if (a < b)
        for (int k = 0; k * step + a < b; ++k)
            at(left, k * step + a);
    for (int k = 0; k <= 24; ++k)
        at(left + k * sweep / 24.0, b);
    if (a < b - step)
        for (int k = 1; b - k * step > a; ++k)
            at(right, b - k * step);
    if (a == 0) {
        add(from);
    } else {
        for (int k = 24; k >= 0; --k)
            at(left + k * sweep / 24.0, a);
    }

    // A band that holds a pole goes once round it: unwrapped, it ends a
    // whole turn of longitude away from where it began. Closed straight
    // back, it would shade a strip round the world at the station's
    // latitude; closed along the pole's edge of the map, it shades the cap.
    if (polygon.size() > 1 && std::abs(polygon.last().x() - polygon.first().x()) > 180) {
        const double northKm = radians(90.0 - from.latitude) * GeoMath::earthRadiusKm;
        const bool north = std::abs(wrap180(heading)) <= half && northKm >= a && northKm <= b;
        const double edge = north ? 0.0 : 180.0;
        polygon.append(QPointF(polygon.last().x(), edge));
        polygon.append(QPointF(polygon.first().x(), edge));
    }
    return polygon;
}

QString RotatorLayer::labelText(const QString& name, double heading)
{
    return name + QLatin1Char(' ') + RotatorStatus::degreesText(heading);
}

QPointF RotatorLayer::labelCentre(double heading, qsizetype position) const
{
    const GeoCoordinate reach = GeoMath::destination(home, heading, labelReachKm);
    const QPointF h = projection.point(home);
    const QPointF q = projection.point(reach.latitude, home.longitude + wrap180(reach.longitude - home.longitude));
    return { h.x() + 0.9 * (q.x() - h.x()), h.y() + 0.9 * (q.y() - h.y()) + labelStep * double(position) };
}

QRectF RotatorLayer::labelRect(const QString& text, double heading, qsizetype position) const
{
    const QFontMetricsF metrics(labelFont());
    const QSizeF box(metrics.horizontalAdvance(text), metrics.height());
    const QPointF c = labelCentre(heading, position);
    QRectF rect(c.x() - box.width() / 2, c.y() - box.height() / 2, box.width(), box.height());
    const QRectF plate = rect.adjusted(-platePaddingX, -platePaddingY, platePaddingX, platePaddingY);
    if (plate.intersects(stationArea)) {
        const double up = stationArea.top() - 1 - plate.bottom();
        const double down = stationArea.bottom() + 1 - plate.top();
        rect.translate(0, -up < down ? up : down);
    }
    return rect;
}

void RotatorLayer::paint(QPainter& painter) const
{
    if (status.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (qsizetype p = 0; p < rotators.size(); ++p) {
        const auto s = status.constFind(rotators[p].id);
        if (s != status.cend() && s->heading)
            paintRotator(painter, rotators[p], *s, p);
    }
    painter.restore();
}

void RotatorLayer::paintRotator(QPainter& painter, const RotatorConfig& rotator, const RotatorStatus& s,
                                qsizetype position) const
{
    const double heading = *s.heading;
    const QColor color = Color::fromHex(rotator.color);
    const double half = halfWidth(rotator.beamWidth);

    shadeBeam(painter, heading, half, color);

    QList<LineStyle> lines {
        { heading, 1.0, 2.2, 4.2 },
        { heading - half, 0.85, 1.2, 3.2, 6, 4 },
        { heading + half, 0.85, 1.2, 3.2, 6, 4 },
    };
    if (rotator.showLongPath)
        lines.append({ heading + 180, 0.6, 1.2, 3.2, 2, 4 });
    if (s.target)
        lines.append({ *s.target, 0.9, 1.6, 3.6, 10, 5 });

    const QColor haloLine = withOpacity(halo, 0.55);
    painter.setBrush(Qt::NoBrush);
    for (const LineStyle& line : std::as_const(lines)) {
        const QList<GeoCoordinate> path
            = GeoMath::greatCirclePath(home, wrap360(line.bearing), lineLengthKm, lineSteps);
        const QPen haloPen = linePen(haloLine, line.haloWidth, line);
        const QPen pen = linePen(withOpacity(color, line.opacity), line.width, line);
        for (const QPolygonF& segment : projection.screenSegments(path)) {
            painter.setPen(haloPen);
            painter.drawPolyline(segment);
            painter.setPen(pen);
            painter.drawPolyline(segment);
        }
    }

    // The label on its plate.
    const QString text = labelText(rotator.name, heading);
    const QRectF textRect = labelRect(text, heading, position);
    // Like the wedge, a label past the map's edge shows at the other edge.
    const QRectF view(QPointF(0, 0), projection.size);
    painter.setFont(labelFont());
    const QColor textColour = MapContrast::onHalo(color, halo);
    for (const double shift : { -projection.worldWidth(), 0.0, projection.worldWidth() }) {
        const QRectF at = textRect.translated(shift, 0);
        const QRectF plate = at.adjusted(-platePaddingX, -platePaddingY, platePaddingX, platePaddingY);
        if (!plate.intersects(view))
            continue;
        painter.setPen(Qt::NoPen);
        painter.setBrush(withOpacity(halo, 0.75));
        painter.drawRoundedRect(plate, 4, 4);
        painter.setPen(textColour);
        painter.drawText(at, Qt::AlignCenter, text);
    }
}

void RotatorLayer::shadeBeam(QPainter& painter, double heading, double half, const QColor& color) const
{
    const QTransform toView = projection.worldTransform();
    const QRectF view(QPointF(0, 0), projection.size);
    painter.setPen(Qt::NoPen);
    for (const BeamBand& band : beamBands) {
        const QPolygonF polygon = wedge(home, heading, half, band.innerKm, band.outerKm);
        painter.setBrush(withOpacity(color, band.opacity));
        // The copies a world to either side show what runs past the ±180°
        // meridian at the map's other edge.
        for (const double shift : { -360.0, 0.0, 360.0 }) {
            const QPolygonF onView = toView.map(polygon.translated(shift, 0));
            if (onView.boundingRect().intersects(view))
                painter.drawPolygon(onView, Qt::WindingFill);
        }
    }
}
