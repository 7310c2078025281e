#include "map/MapViewportModel.h"

#include "map/MapProjection.h"

#include <algorithm>
#include <cmath>

MapViewportModel::MapViewportModel(QObject* parent)
    : QObject(parent)
{
}

void MapViewportModel::setViewport(const MapViewport& viewport)
{
    m_viewport = viewport;
    Q_EMIT viewportChanged();
}

void MapViewportModel::zoom(double factor, std::optional<QPointF> anchor, std::optional<MapViewport> from)
{
    // A broken magnification (NaN, zero, negative) is no zoom at all rather
    // than a jump to one of the limits.
    if (!std::isfinite(factor) || factor <= 0)
        return;

    const QSizeF base = MapProjection::baseSize(m_viewSize, m_fill);
    const MapViewport start = from.value_or(m_viewport).clamped(m_viewSize, base);
    const double newZoom = std::min(std::max(start.zoom * factor, MapViewport::minZoom), MapViewport::maxZoom);

    if (m_viewSize.width() <= 0 || m_viewSize.height() <= 0) {
        const double h = 0.5 / newZoom;
        setViewport(
            { newZoom, QPointF(std::clamp(start.center.x(), h, 1 - h), std::clamp(start.center.y(), h, 1 - h)) });
        return;
    }

    const QPointF a = anchor.value_or(QPointF(m_viewSize.width() / 2, m_viewSize.height() / 2));
    const double u = (a.x() - (m_viewSize.width() / 2 - start.center.x() * start.zoom * base.width()))
        / (start.zoom * base.width());
    const double v = (a.y() - (m_viewSize.height() / 2 - start.center.y() * start.zoom * base.height()))
        / (start.zoom * base.height());
    const QPointF center(u + (m_viewSize.width() / 2 - a.x()) / (newZoom * base.width()),
                         v + (m_viewSize.height() / 2 - a.y()) / (newZoom * base.height()));
    setViewport(MapViewport { newZoom, center }.clamped(m_viewSize, base));
}

void MapViewportModel::pan(QSizeF translation, const MapViewport& from)
{
    if (m_viewSize.width() <= 0)
        return;
    const QSizeF base = MapProjection::baseSize(m_viewSize, m_fill);
    const QPointF center(from.center.x() - translation.width() / (from.zoom * base.width()),
                         from.center.y() - translation.height() / (from.zoom * base.height()));
    setViewport(MapViewport { from.zoom, center }.clamped(m_viewSize, base));
}
