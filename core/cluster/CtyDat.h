#pragma once

#include "geo/GeoMath.h"

#include <QHash>
#include <QHashFunctions>
#include <QList>
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

    // Removes the override brackets ((…), […], <…>, {…}, ~…~) from one
    // alias; an unclosed bracket drops the rest.
    static QString stripOverrides(QStringView alias);

    // Label prefix → comma-separated further prefixes of the same country,
    // used only for the built-in table.
    static const QHash<QString, QString>& commonAliases();

    // Upper-case prefix → country.
    const QHash<QString, CtyEntity>& prefixes() const { return m_prefixes; }
    // Upper-case full callsign → country, for calls listed one by one.
    const QHash<QString, CtyEntity>& exactCalls() const { return m_exactCalls; }
    // Length of the longest key in `prefixes`; at least 1.
    int longestPrefix() const { return m_longestPrefix; }
    // Number of country records taken in.
    int entityCount() const { return m_entityCount; }
    // A real country file has over 300 countries; anything smaller is not
    // trusted to replace what is in use.
    bool isFullCountryFile() const { return m_entityCount >= 301; }

private:
    void addRecord(QStringView record);
    void addPrefix(const QString& prefix, const CtyEntity& entity);
    std::optional<CtyEntity> prefixSearch(QStringView text) const;

    QHash<QString, CtyEntity> m_prefixes;
    QHash<QString, CtyEntity> m_exactCalls;
    int m_longestPrefix = 1;
    int m_entityCount = 0;
};
