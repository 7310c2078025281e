#include "SpotBook.h"

#include <algorithm>

void SpotBook::setCapacity(qsizetype capacity)
{
    m_capacity = std::max<qsizetype>(0, capacity);
    trimToCapacity();
}

void SpotBook::add(DXSpot spot)
{
    QString id = spot.id();
    const auto latestFirst = [](const DXSpot& stored, const QDateTime& time) { return stored.time > time; };

    qsizetype stored = -1;
    if (const auto known = m_timeById.constFind(id); known != m_timeById.cend()) {
        if (*known > spot.time)
            return;
        // The stored report sits among the spots of its own time.
        auto it = std::lower_bound(m_spots.cbegin(), m_spots.cend(), *known, latestFirst);
        while (it != m_spots.cend() && !it->sameIdentity(spot))
            ++it;
        stored = it - m_spots.cbegin();
    }

    const qsizetype place =
        std::lower_bound(m_spots.cbegin(), m_spots.cend(), spot.time, latestFirst) - m_spots.cbegin();
    m_timeById.insert(std::move(id), spot.time);
    if (stored >= 0 && stored < m_spots.size()) {
        // place <= stored: the stored report is not later than the new one.
        // Shift the spots in between back by one and reuse the slot.
        auto first = m_spots.begin() + place;
        auto last = m_spots.begin() + stored;
        std::move_backward(first, last, last + 1);
        *first = std::move(spot);
        return;
    }
    m_spots.insert(place, std::move(spot));
    trimToCapacity();
}

void SpotBook::prune(const QDateTime& olderThan)
{
    m_spots.removeIf([&](const DXSpot& spot) {
        if (!(spot.time < olderThan))
            return false;
        m_timeById.remove(spot.id());
        return true;
    });
}

void SpotBook::removeAll()
{
    m_spots.clear();
    m_timeById.clear();
}

void SpotBook::trimToCapacity()
{
    while (m_spots.size() > m_capacity) {
        m_timeById.remove(m_spots.constLast().id());
        m_spots.removeLast();
    }
}

bool SpotFilter::accepts(const DXSpot& spot) const
{
    if (!spot.band || !bands.contains(*spot.band))
        return false;
    return ::accepts(mode, spot.mode);
}
