#include "cluster/SpotBook.h"

#include "support/TextHash.h"

#include <algorithm>
#include <limits>

namespace {

SpotBook::Key keyOf(const DXSpot& spot)
{
    if (spot.band)
        return { spot.call, true, rawValue(*spot.band), {} };
    if (const std::optional<qint64> kHz = spot.wholeKHz())
        return { spot.call, false, *kHz, {} };
    const QString id = spot.id();
    return { spot.call, false, 0, id.sliced(id.lastIndexOf(u'|')) };
}

// Invalid times (only in hand-made spots) sort as the earliest.
qint64 msecsOf(const QDateTime& time)
{
    return time.isValid() ? time.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

} // namespace

size_t qHash(const SpotBook::Key& key, size_t seed)
{
    return qHashMulti(TextHash::of(key.call, seed), key.hasBand, key.bandOrKHz, key.odd);
}

void SpotBook::setCapacity(qsizetype capacity)
{
    m_capacity = std::max<qsizetype>(0, capacity);
    trimToCapacity();
}

void SpotBook::add(DXSpot spot)
{
    const qint64 msecs = msecsOf(spot.time);
    Key key = keyOf(spot);
    // Newest first: the first place whose time is not later than `t`.
    const auto firstNotLaterThan = [this](qint64 t) {
        return std::lower_bound(m_msecs.cbegin(), m_msecs.cend(), t, std::greater<qint64>()) - m_msecs.cbegin();
    };

    qsizetype stored = -1;
    if (const auto known = m_msecsByKey.constFind(key); known != m_msecsByKey.cend()) {
        if (*known > msecs)
            return;
        // The stored report sits among the spots of its own time.
        stored = firstNotLaterThan(*known);
        while (stored < m_spots.size() && !m_spots[stored].sameIdentity(spot))
            ++stored;
    }

    const qsizetype place = firstNotLaterThan(msecs);
    m_msecsByKey.insert(std::move(key), msecs);
    if (stored >= 0 && stored < m_spots.size()) {
        // place <= stored, as the stored report is not later than the new
        // one: shift the spots in between back by one and reuse the slot.
        std::move_backward(m_spots.begin() + place, m_spots.begin() + stored, m_spots.begin() + stored + 1);
        std::move_backward(m_msecs.begin() + place, m_msecs.begin() + stored, m_msecs.begin() + stored + 1);
        m_spots[place] = std::move(spot);
        m_msecs[place] = msecs;
        return;
    }
    m_spots.insert(place, std::move(spot));
    m_msecs.insert(place, msecs);
    trimToCapacity();
}

void SpotBook::prune(const QDateTime& olderThan)
{
    const qint64 cutoff = msecsOf(olderThan);
    // Time order puts every spot to drop at the end.
    qsizetype keep = m_msecs.size();
    while (keep > 0 && m_msecs[keep - 1] < cutoff)
        --keep;
    while (m_spots.size() > keep)
        removeAt(m_spots.size() - 1);
}

void SpotBook::removeAll()
{
    m_spots.clear();
    m_msecs.clear();
    m_msecsByKey.clear();
}

void SpotBook::trimToCapacity()
{
    while (m_spots.size() > m_capacity)
        removeAt(m_spots.size() - 1);
}

void SpotBook::removeAt(qsizetype index)
{
    m_msecsByKey.remove(keyOf(m_spots[index]));
    m_spots.remove(index);
    m_msecs.remove(index);
}

bool SpotFilter::accepts(const DXSpot& spot) const
{
    if (!spot.band || !bands.contains(*spot.band))
        return false;
    return ::accepts(mode, spot.mode);
}
