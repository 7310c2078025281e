#pragma once

#include "cluster/CtyDat.h"
#include "geo/MapData.h"
#include "support/StringKey.h"

#include <QHash>
#include <QList>
#include <QString>

// Decides at which of the map's prefix labels a country's spots are drawn.
// Built once from the labels; never changes.
struct SpotPlacer {
    QList<PrefixEntity> labels;
    // Label by its prefix in upper case; of two labels with one prefix the later wins.
    QHash<StringKey, PrefixEntity> byPrefix;

    // Labels farther from a country than this never stand for it.
    static constexpr double reachKm = 700;

    SpotPlacer() = default;
    explicit SpotPlacer(QList<PrefixEntity> labels);

    // The country's own label (by its primary prefix); else the nearest label
    // strictly closer than 700 km, the first of equally near ones; else a
    // label made from the country itself.
    PrefixEntity label(const CtyEntity& entity) const;
};
