#pragma once

#include "cluster/CtyDat.h"
#include "cluster/SpotPlacer.h"
#include "support/StringKey.h"

#include <QHash>
#include <QString>

#include <optional>

// The country database in use with what has been looked up in it: each
// call's country and each country's map label are found once and then
// remembered, so placing the spot book on every redraw costs a map probe
// per spot. Replacing the database forgets everything remembered.
class SpotLocator {
public:
    // The calls remembered at most. A node may send any number of distinct
    // calls over a long session; past this the memory starts afresh rather
    // than growing without end. Far more than a spot book holds.
    static constexpr qsizetype maxCachedCalls = 20000;

    // What a call stands for: the place it is drawn at, and the DXCC country
    // it counts as for need and alerts (Sicily is drawn at its own label
    // but counts as Italy). Either may be missing.
    struct CallCountry {
        std::optional<CtyEntity> place;
        std::optional<CtyEntity> dxcc;
    };

    SpotLocator() = default;
    SpotLocator(SpotPlacer placer, CtyDatabase countries);

    const CtyDatabase& countries() const { return m_countries; }
    void setCountries(CtyDatabase countries);

    // The call as received; a miss is remembered too. The reference holds
    // until the next call of country().
    const CallCountry& country(const QString& call);
    // The label of a country (CallCountry::place), by its primary prefix.
    // The reference holds until the next call of label().
    const PrefixEntity& label(const CtyEntity& place);

    const SpotPlacer& placer() const { return m_placer; }
    qsizetype cachedCalls() const { return m_calls.size(); }
    qsizetype cachedLabels() const { return m_labels.size(); }

private:
    SpotPlacer m_placer;
    CtyDatabase m_countries;
    QHash<StringKey, CallCountry> m_calls;
    QHash<StringKey, PrefixEntity> m_labels;
};
