#pragma once

#include "cluster/DXCCProgress.h"
#include "cluster/DXSpot.h"
#include "cluster/SpotDisplayOptions.h"
#include "geo/MapData.h"
#include "support/StringKey.h"

#include <QHash>
#include <QList>
#include <QSet>

class SpotLocator;

// The spots drawn at one map label, with the ids (DXSpot::id) of those that
// are needed and of those whose call is watched.
struct SpotGroup {
    PrefixEntity label;
    QList<DXSpot> spots; // spot-book order, newest first
    QSet<StringKey> neededIDs;
    QSet<StringKey> watchedIDs;

    friend bool operator==(const SpotGroup&, const SpotGroup&) = default;
};

namespace SpotGroups {

// The spots (spot-book order) that the options let through, each placed at
// its country's label and grouped by the label's prefix. A watched call is
// shown whatever its mode and band; a call without a country is left out.
// Needed is decided by the DXCC country, only for spots the filter passes,
// and only with a progress (a logbook).
QHash<StringKey, SpotGroup> active(const QList<DXSpot>& spots, const SpotDisplayOptions& options,
                                   const DXCCProgress* progress, SpotLocator& locator);

// The spots of watched calls, in spot-book order, whatever their mode, band
// or country; none for an empty list.
QList<DXSpot> watched(const QList<DXSpot>& spots, const CallWatchList& list);

} // namespace SpotGroups
