#include "map/MapViewport.h"

#include <algorithm>
#include <cmath>

MapViewport MapViewport::clamped(std::optional<QSizeF> view, std::optional<QSizeF> base) const
{
    // A non-finite zoom or centre (a broken gesture value) must not poison
    // every later projection: it falls back to the whole-world value.
    double z = std::isfinite(zoom) ? zoom : minZoom;
    z = std::min(std::max(z, minZoom), maxZoom);

    double hx = 0.5 / z;
    double hy = 0.5 / z;
    if (view && base && base->width() > 0 && base->height() > 0 && std::isfinite(view->width())
        && std::isfinite(view->height()) && std::isfinite(base->width()) && std::isfinite(base->height())) {
        hx = view->width() / (2 * z * base->width());
        hy = view->height() / (2 * z * base->height());
        if (!(hx < 0.5))
            hx = 0.5;
        if (!(hy < 0.5))
            hy = 0.5;
    }

    const double cx = std::isfinite(center.x()) ? center.x() : 0.5;
    const double cy = std::isfinite(center.y()) ? center.y() : 0.5;
    return { z, QPointF(std::min(std::max(cx, hx), 1 - hx), std::min(std::max(cy, hy), 1 - hy)) };
}
