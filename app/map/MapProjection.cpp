#include "map/MapProjection.h"

#include <algorithm>
#include <cmath>

QSizeF MapProjection::baseSize(QSizeF view, bool fill)
{
    if (!fill)
        return view;
    const double s = std::max(view.width() / 360.0, view.height() / 180.0);
    return { 360.0 * s, 180.0 * s };
}

MapProjection MapProjection::forView(QSizeF view, const MapViewport& viewport, bool fill)
{
    const QSizeF base = baseSize(view, fill);
    return { view, viewport.clamped(view, base), base };
}

QPointF MapProjection::origin() const
{
    return { size.width() / 2 - viewport.center.x() * worldWidth(),
             size.height() / 2 - viewport.center.y() * worldHeight() };
}

QPointF MapProjection::point(double latitude, double longitude) const
{
    const QPointF o = origin();
    return { o.x() + (longitude + 180.0) / 360.0 * worldWidth(), o.y() + (90.0 - latitude) / 180.0 * worldHeight() };
}

QPointF MapProjection::point(const GeoCoordinate& c) const { return point(c.latitude, c.longitude); }

std::optional<GeoCoordinate> MapProjection::coordinate(QPointF p) const
{
    const double w = worldWidth();
    const double h = worldHeight();
    if (!(w > 0) || !(h > 0))
        return std::nullopt;
    const QPointF o = origin();
    const double u = (p.x() - o.x()) / w;
    const double v = (p.y() - o.y()) / h;
    const double longitude = u * 360.0 - 180.0;
    const double latitude = 90.0 - v * 180.0;
    if (!(std::abs(longitude) <= 180.0) || !(std::abs(latitude) <= 90.0))
        return std::nullopt;
    return GeoCoordinate { latitude, longitude };
}

QList<QPolygonF> MapProjection::screenSegments(std::span<const GeoCoordinate> coordinates) const
{
    QList<QPolygonF> result;
    QPolygonF current;
    for (std::size_t i = 0; i < coordinates.size(); ++i) {
        current.append(point(coordinates[i]));
        if (i + 1 < coordinates.size() && std::abs(coordinates[i + 1].longitude - coordinates[i].longitude) > 180.0) {
            if (current.size() >= 2)
                result.append(current);
            current.clear();
        }
    }
    if (current.size() >= 2)
        result.append(current);
    return result;
}

QTransform MapProjection::worldTransform() const
{
    const QPointF o = origin();
    return QTransform(worldWidth() / 360.0, 0, 0, worldHeight() / 180.0, o.x(), o.y());
}
