#include "map/PredictionCache.h"

#include "support/CacheKey.h"
#include "support/VectorState.h"

#include <cmath>

std::uint64_t PredictionCache::key(std::uint64_t mufKey, const GeoCoordinate& home, const StationSetup& setup,
                                   std::optional<double> kp)
{
    CacheKey hash;
    hash.add(mufKey).add(home.latitude).add(home.longitude).add(setup.powerW);
    hash.add(std::uint64_t(setup.antennas.hash()));
    hash.add(rawValue(setup.mode)).add(rawValue(setup.noise));
    hash.add(kp.has_value());
    if (kp)
        hash.add(std::trunc(*kp * 3));
    return hash.value();
}

const DayChart& PredictionCache::chart(std::uint64_t key, const QString& target,
                                       const std::function<DayChart()>& compute)
{
    if (key != m_key) {
        m_charts.clear();
        m_key = key;
    }
    auto it = m_charts.find(target);
    VectorState::clean(); // the target's hash left it dirty for the chart's arithmetic and the panel
    if (it == m_charts.end()) {
        it = m_charts.insert(target, compute());
        VectorState::clean();
        ++m_computed;
    }
    return *it;
}
