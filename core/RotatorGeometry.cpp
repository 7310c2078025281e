#include "RotatorGeometry.h"

#include <cmath>

RotatorGeometry::RotatorGeometry(int range, double offset)
    : m_range(range == 450 ? 450 : 360)
    , m_offset(offset)
{
}

double RotatorGeometry::heading(double raw) const
{
    double h = std::fmod(raw + m_offset, 360.0);
    if (h < 0)
        h += 360.0;
    return h;
}

int RotatorGeometry::target(double heading, std::optional<double> currentRaw) const
{
    double t = std::fmod(heading - m_offset, 360.0);
    if (t < 0)
        t += 360.0;
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
