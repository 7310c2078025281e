#pragma once

#include "geo/GeoMath.h"
#include "support/StringKey.h"

#include <QHash>
#include <QHashFunctions>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringView>

#include <optional>

struct PrefixEntity;

// One country (DXCC entity) of the country file.
struct CtyEntity {
    QString name;
    int cqZone = 0;        // 0 in the built-in list
    int ituZone = 0;       // 0 in the built-in list
    QString continent;     // two letters, as the file writes it
    double latitude = 0;   // degrees north
    double longitude = 0;  // degrees EAST (the file writes west positive)
    QString primaryPrefix; // leading "*" removed, case kept

    GeoCoordinate coordinate() const { return { latitude, longitude }; }

    friend bool operator==(const CtyEntity&, const CtyEntity&) = default;
};

size_t qHash(const CtyEntity& entity, size_t seed = 0) noexcept;

// Callsign-to-country table, parsed from a cty.dat text or built from the
// map's prefix labels until a country file is loaded. An immutable value
// once built: copy it, replace it whole, never merge.
class CtyDatabase {
public:
    // The empty database: finds nothing.
    CtyDatabase() = default;

    // Parses a cty.dat text. Never fails: records that do not read
    // (missing fields, zones that are not integers, positions that are not
    // finite numbers) are skipped one by one.
    explicit CtyDatabase(QStringView ctyDat);

    // The fallback table built from the map's prefix labels.
    static CtyDatabase builtIn(const QList<PrefixEntity>& labels);

    // The country of a callsign (any case, blanks at the ends allowed),
    // portable forms such as EA/K1ABC, K1ABC/P or K1ABC/4 included.
    // Maritime and aeronautical mobiles (…/MM, …/AM) have no country.
    std::optional<CtyEntity> entity(QStringView callsign) const;

    // The DXCC country of a callsign, the one that counts in DXCC progress
    // and needed-country tests: the country found when the entities the
    // file marks with "*" (Sicily, Shetland, the Vienna International
    // Centre: places of their own on the map, but no DXCC countries) are
    // left out, so IT9ABC gives Italy. Otherwise the same as `entity`.
    std::optional<CtyEntity> dxccEntity(QStringView callsign) const;

    // False for the countries the file marks with "*".
    bool isDxcc(const CtyEntity& entity) const { return !m_nonDxcc.contains(entity); }

    // Removes the override brackets ((…), […], <…>, {…}, ~…~) from one
    // alias; an unclosed bracket drops the rest.
    static QString stripOverrides(QStringView alias);

    // Label prefix → comma-separated further prefixes of the same country,
    // used only for the built-in table.
    static const QHash<QString, QString>& commonAliases();

    // Upper-case prefix → country.
    const QHash<StringKey, CtyEntity>& prefixes() const { return m_prefixes; }
    // Upper-case full callsign → country, for calls listed one by one.
    const QHash<StringKey, CtyEntity>& exactCalls() const { return m_exactCalls; }
    // Length of the longest key in `prefixes`; at least 1.
    int longestPrefix() const { return m_longestPrefix; }
    // Number of country records taken in.
    int entityCount() const { return m_entityCount; }
    // A real country file has over 300 countries; anything smaller is not
    // trusted to replace what is in use. The built-in table never counts as
    // one, however many labels it was made from.
    bool isFullCountryFile() const { return !m_builtIn && m_entityCount >= 301; }

private:
    // Keys whose entry belongs to a "*" country, with what they give when
    // those countries are left out (nothing when no other record has them).
    using LeftOut = QHash<StringKey, std::optional<CtyEntity>>;

    void addRecord(QStringView record);
    void addPrefix(const StringKey& prefix, const CtyEntity& entity, bool dxcc = true);
    static void insert(QHash<StringKey, CtyEntity>& table, LeftOut& leftOut, const StringKey& key,
                       const CtyEntity& entity, bool dxcc);
    std::optional<CtyEntity> lookup(QStringView callsign, bool dxccOnly) const;
    const CtyEntity* prefix(const StringKey& key, bool dxccOnly) const;
    const CtyEntity* exactCall(const StringKey& key, bool dxccOnly) const;
    const CtyEntity* prefixSearch(QStringView text, bool dxccOnly) const;

    QHash<StringKey, CtyEntity> m_prefixes;
    QHash<StringKey, CtyEntity> m_exactCalls;
    LeftOut m_dxccPrefixes;
    LeftOut m_dxccExactCalls;
    QSet<CtyEntity> m_nonDxcc;
    int m_longestPrefix = 1;
    int m_entityCount = 0;
    bool m_builtIn = false;
};
