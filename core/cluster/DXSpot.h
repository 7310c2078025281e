#pragma once

#include "cluster/Band.h"
#include "cluster/SpotMode.h"

#include <QDateTime>
#include <QString>

#include <optional>

// One cluster spot: a station heard on the air, as a node announced it.
struct DXSpot {
    double frequencyKHz = 0;
    QString call;    // upper case
    QString spotter; // upper case; may be empty
    QString comment; // may be empty
    QDateTime time;  // UTC
    std::optional<SpotMode> mode;
    std::optional<Band> band;

    DXSpot() = default;
    // Fills band and mode from the frequency and comment.
    DXSpot(double frequencyKHz, QString call, QString spotter, QString comment, QDateTime time);

    // "K1ABC|20": the call and the band's metres, or, outside every band, the
    // frequency's whole kHz ("K1ABC|9000"). Reports of one call on one band
    // share it, whatever their exact frequencies.
    QString id() const;

    // The frequency's whole kHz, toward zero, as the id() writes it; nothing
    // for a frequency no integer holds (only hand-made spots have one).
    std::optional<qint64> wholeKHz() const { return wholeKHz(frequencyKHz); }
    static std::optional<qint64> wholeKHz(double frequencyKHz);

    // Same as comparing id()s, without building the texts.
    bool sameIdentity(const DXSpot& other) const;

    friend bool operator==(const DXSpot&, const DXSpot&) = default;
};

Q_DECLARE_TYPEINFO(DXSpot, Q_RELOCATABLE_TYPE);

size_t qHash(const DXSpot& spot, size_t seed = 0);
