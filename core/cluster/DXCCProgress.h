#pragma once

#include "cluster/Band.h"
#include "cluster/CtyDat.h"
#include "cluster/Logbook.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>

// What counts as a needed spot: a country never worked, or a country never
// worked on the spot's band. Stored as its raw text in SettingKeys::clusterNeedScope.
enum class NeedScope { country, bandCountry };

inline constexpr std::array<NeedScope, 2> allNeedScopes { NeedScope::country, NeedScope::bandCountry };

QString rawValue(NeedScope scope); // "country", "bandCountry"; also its id
QString title(NeedScope scope);
// Exact, case-sensitive match of a raw text.
std::optional<NeedScope> needScopeFromRaw(QStringView text);

// DXCC countries and band-countries worked and confirmed in the imported
// logbook, keyed by the country's upper-case primary prefix ("DL", slots
// "DL|20"). Countries are those of CtyDatabase::dxccEntity.
struct DXCCProgress {
    QSet<StringKey> worked;
    QSet<StringKey> confirmed;
    QSet<StringKey> workedSlots;
    QSet<StringKey> confirmedSlots;
    int unknownCalls = 0; // contacts whose call has no country
    int qsoCount = 0;     // all contacts it was built from

    DXCCProgress() = default;
    DXCCProgress(const QList<LogbookQSO>& qsos, const CtyDatabase& countries);

    // Whether a spot of this country (and band) is still missing from the
    // log. Give it the spot's DXCC country (CtyDatabase::dxccEntity), not the
    // place it is drawn at: an IT9 spot is needed only when Italy is.
    // With confirmedOnly, worked but unconfirmed still counts as missing.
    // In the band-country scope a spot without band is never needed.
    bool isNeeded(const CtyEntity& entity, std::optional<Band> band, NeedScope scope, bool confirmedOnly) const;

    friend bool operator==(const DXCCProgress&, const DXCCProgress&) = default;
};

// The operator's watched calls, from the text of SettingKeys::clusterWatchCalls:
// entries separated by commas, semicolons or white space. An entry with "*"
// is a wildcard over the whole call; any other matches the call or one of
// its "/" parts (K1ABC matches EA/K1ABC and K1ABC/P).
class CallWatchList {
public:
    CallWatchList() = default;
    explicit CallWatchList(QStringView text);

    const QStringList& patterns() const { return m_patterns; }
    bool isEmpty() const { return m_patterns.isEmpty(); }
    bool matches(QStringView call) const;

    friend bool operator==(const CallWatchList&, const CallWatchList&) = default;

private:
    static bool wildcard(QStringView pattern, QStringView text);

    QStringList m_patterns; // upper case, never empty texts
};
