#include "map/MapFit.h"

namespace MapFits {

const std::array<MapFit, 3>& allCases()
{
    static constexpr std::array<MapFit, 3> all { MapFit::fill, MapFit::whole, MapFit::stretch };
    return all;
}

QString rawValue(MapFit fit)
{
    switch (fit) {
    case MapFit::whole:
        return QStringLiteral("whole");
    case MapFit::stretch:
        return QStringLiteral("stretch");
    case MapFit::fill:
        break;
    }
    return QStringLiteral("fill");
}

std::optional<MapFit> fromRaw(const QString& text)
{
    for (MapFit fit : allCases())
        if (rawValue(fit) == text)
            return fit;
    return std::nullopt;
}

} // namespace MapFits
