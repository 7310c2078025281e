#include "map/ScrollWheelZoom.h"

#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace ScrollWheelZoom {

Decision decide(double deltaY, bool inverted, bool precise, bool inGesture)
{
    if (!std::isfinite(deltaY))
        return { inGesture, std::nullopt };
    const double dy = inverted ? -deltaY : deltaY;
    if (dy == 0)
        return { inGesture, std::nullopt };
    const double step = std::clamp(dy * (precise ? 0.01 : 0.15), -3.0, 3.0);
    return { true, std::exp(step) };
}

Decision decide(const QWheelEvent& event)
{
    const bool precise = !event.pixelDelta().isNull();
    const double dy = precise ? event.pixelDelta().y() : event.angleDelta().y() / 120.0;
    return decide(dy, event.inverted(), precise, event.phase() != Qt::NoScrollPhase);
}

} // namespace ScrollWheelZoom
