#pragma once

#include "geo/GeoMath.h"
#include "prediction/PropagationPredictor.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

// The quick model's day charts of the hover panel's wheel, one per place
// hovered, all for one set of inputs: the MUF slot with its readings and
// sunspot number, the station's place and setup and the Kp (to a third).
// When any of them changes the whole cache is dropped at the next request,
// so moving the pointer back to a place already predicted costs nothing
// until then. Main thread only.
class PredictionCache {
public:
    // The key of every input a chart depends on: the MUF model's key, the
    // station's latitude and longitude, its power, antenna table, mode and
    // noise, and the Kp as the integer part of three times its value (or
    // its absence).
    static std::uint64_t key(std::uint64_t mufKey, const GeoCoordinate& home, const StationSetup& setup,
                             std::optional<double> kp);

    // The chart of the target (a label's prefix) under the key: the cached
    // one, or `compute`'s, which is then kept. A key other than the cache's
    // drops every chart first.
    const DayChart& chart(std::uint64_t key, const QString& target, const std::function<DayChart()>& compute);

    std::uint64_t chartsKey() const { return m_key; }
    const QHash<QString, DayChart>& charts() const { return m_charts; }
    // How many charts were computed in this cache's life (for tests).
    int computed() const { return m_computed; }

private:
    QHash<QString, DayChart> m_charts;
    std::uint64_t m_key = 0;
    int m_computed = 0;
};
