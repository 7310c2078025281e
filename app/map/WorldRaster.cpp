#include "map/WorldRaster.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

void WorldRaster::paint(QPainter& painter) const
{
    if (image.isNull())
        return;
    const QRectF world = projection.worldRect();
    if (!(world.width() > 0) || !(world.height() > 0))
        return;

    const QRectF view(QPointF(0, 0), projection.size);
    const QRectF visible = world.intersected(view);
    if (visible.isEmpty())
        return;

    // When zoomed in, only a small part of the image is on screen: hand the
    // painter just that part (with a pixel of margin for the filter) so the
    // scaling work follows the view, not the world.
    const double sx = image.width() / world.width();
    const double sy = image.height() / world.height();
    const int left = std::max(0, int(std::floor((visible.left() - world.left()) * sx)) - 1);
    const int top = std::max(0, int(std::floor((visible.top() - world.top()) * sy)) - 1);
    const int right = std::min(image.width(), int(std::ceil((visible.right() - world.left()) * sx)) + 1);
    const int bottom = std::min(image.height(), int(std::ceil((visible.bottom() - world.top()) * sy)) + 1);
    const QRectF source(left, top, right - left, bottom - top);
    const QRectF target(world.left() + left / sx, world.top() + top / sy, source.width() / sx, source.height() / sy);
    painter.save();
    painter.setClipRect(view, Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, image, source);
    painter.restore();
}
