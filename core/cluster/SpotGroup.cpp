#include "cluster/SpotGroup.h"

#include "cluster/SpotLocator.h"
#include "support/VectorState.h"

namespace SpotGroups {

QHash<StringKey, SpotGroup> active(const QList<DXSpot>& spots, const SpotDisplayOptions& options,
                                   const DXCCProgress* progress, SpotLocator& locator)
{
    VectorState::clean(); // the map's redraw comes after anything at all
    QHash<StringKey, SpotGroup> groups;
    const SpotFilter filter = options.filter();
    for (const DXSpot& spot : spots) {
        const bool watched = options.watchList.matches(spot.call);
        const bool accepted = filter.accepts(spot);
        if (!watched && !accepted)
            continue;
        const SpotLocator::CallCountry& country = locator.country(spot.call);
        if (!country.place)
            continue;
        const bool needed = accepted && progress && country.dxcc
            && progress->isNeeded(*country.dxcc, spot.band, options.needScope, options.confirmedOnly);
        if (options.neededOnly && !needed && !watched)
            continue;
        const PrefixEntity& label = locator.label(*country.place);
        auto group = groups.find(StringKey::over(label.prefix));
        if (group == groups.end())
            group = groups.insert(label.prefix, SpotGroup { label, {}, {}, {} });
        group->spots.append(spot);
        if (needed)
            group->neededIDs.insert(spot.id());
        if (watched)
            group->watchedIDs.insert(spot.id());
    }
    return groups;
}

QList<DXSpot> watched(const QList<DXSpot>& spots, const CallWatchList& list)
{
    QList<DXSpot> result;
    if (list.isEmpty())
        return result;
    for (const DXSpot& spot : spots)
        if (list.matches(spot.call))
            result.append(spot);
    return result;
}

} // namespace SpotGroups
