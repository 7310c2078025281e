#include "map/PainterPixelRatio.h"

#include <QPaintDevice>
#include <QPainter>

double devicePixelRatioOf(const QPainter& painter)
{
    const QPaintDevice* device = painter.device();
    const double ratio = device ? device->devicePixelRatioF() : 1.0;
    return ratio > 0 ? ratio : 1.0;
}
