#include "rotator/RotatorGeometry.h"

#include "geo/GeoMath.h"

#include <cmath>

RotatorGeometry::RotatorGeometry(int range, double offset)
    : m_range(range == 450 ? 450 : 360)
    , m_offset(offset)
{
}

double RotatorGeometry::heading(double raw) const { return wrap360(raw + m_offset); }

int RotatorGeometry::target(double heading, std::optional<double> currentRaw) const
{
    const double t = wrap360(heading - m_offset);
    // Converting a non-finite value to int is undefined; such a bearing has
    // no meaningful target, so north stands in rather than garbage.
    if (!std::isfinite(t))
        return 0;
    // std::round takes halves away from zero; 359.5 becomes 360, then 0.
    const int raw = static_cast<int>(std::round(t)) % 360;

    if (m_range == 450 && currentRaw && std::isfinite(*currentRaw) && raw <= 90) {
        const int alternative = raw + 360;
        if (std::abs(alternative - *currentRaw) < std::abs(raw - *currentRaw))
            return alternative;
    }
    return raw;
}
