#pragma once

#include "cluster/Band.h"
#include "cluster/DXSpot.h"
#include "cluster/SpotMode.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

// The client's memory of current spots: newest first, at most one spot per
// identity (call and band), at most `capacity` spots.
class SpotBook {
public:
    static constexpr qsizetype defaultCapacity = 1000;

    // Ordered by time, latest first; no two share an id().
    const QList<DXSpot>& spots() const { return m_spots; }

    qsizetype capacity() const { return m_capacity; }
    // Trims the oldest spots at once when the book holds more.
    void setCapacity(qsizetype capacity);

    // A newer (or equally new) report of a stored identity replaces it; an
    // older one is dropped. Among equal times the new spot stands first.
    void add(DXSpot spot);

    // Drops the spots strictly earlier than the cutoff.
    void prune(const QDateTime& olderThan);

    void removeAll();

    // An identity in a form that is cheap to hash: equal exactly when the
    // spots' id()s are equal.
    struct Key {
        QString call;
        bool hasBand = false;
        qint64 bandOrKHz = 0;
        QString odd; // the id's tail for frequencies no integer can hold
        friend bool operator==(const Key&, const Key&) = default;
    };

private:
    void trimToCapacity();
    void removeAt(qsizetype index);

    QList<DXSpot> m_spots;
    // The spots' times in ms since the epoch, side by side with m_spots, for
    // quick searches in time order.
    QList<qint64> m_msecs;
    // The time of each stored identity, so that most adds need no scan.
    QHash<Key, qint64> m_msecsByKey;
    qsizetype m_capacity = defaultCapacity;
};

size_t qHash(const SpotBook::Key& key, size_t seed = 0);

// The operator's choice of modes and bands to show and announce.
struct SpotFilter {
    ModeFilter mode = ModeFilter::all;
    BandSet bands;

    // A spot without a band never passes; a spot without a mode passes only `all`.
    bool accepts(const DXSpot& spot) const;

    friend bool operator==(const SpotFilter&, const SpotFilter&) = default;
};
