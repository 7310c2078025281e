#include "cluster/CtyDat.h"

#include "geo/MapData.h"
#include "support/StrictNumber.h"
#include "support/TextHash.h"
#include "support/TextTrim.h"
#include "support/VectorState.h"

#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <limits>

size_t qHash(const CtyEntity& e, size_t seed) noexcept
{
    // Each text under the table's seed, as StringKey hashes it.
    return qHashMulti(seed, TextHash::of(e.name, seed), e.cqZone, e.ituZone, TextHash::of(e.continent, seed),
                      e.latitude, e.longitude, TextHash::of(e.primaryPrefix, seed));
}

namespace {

std::optional<int> readZone(QStringView text)
{
    const auto value = StrictNumber::parseInt(text);
    if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(*value);
}

// Suffixes of portable calls that say how or where the station works,
// never which country it is in.
bool isOperatingSuffix(QStringView part)
{
    static const std::array<QStringView, 11> suffixes
        = { u"P", u"M", u"QRP", u"A", u"B", u"LH", u"J", u"R", u"T", u"U", u"Q" };
    if (part.size() == 1 && part[0].isNumber())
        return true;
    return std::find(suffixes.begin(), suffixes.end(), part) != suffixes.end();
}

// One key of a table; with `leftOut`, as if the "*" countries were not in
// the file.
const CtyEntity* findKey(const QHash<StringKey, CtyEntity>& table,
                         const QHash<StringKey, std::optional<CtyEntity>>* leftOut, const StringKey& key)
{
    if (leftOut) {
        if (const auto it = leftOut->constFind(key); it != leftOut->cend())
            return *it ? &**it : nullptr;
    }
    const auto it = table.constFind(key);
    return it != table.cend() ? &*it : nullptr;
}

// The file lists KG4 for Guantanamo Bay, but only KG4 and two letters
// (KG4AB) is a call from there; every other KG4 call (KG4WXU, KG4Z) is a
// United States station. KG4 alone is the location part of a portable call.
bool isGuantanamoCall(QStringView text)
{
    const auto letter = [](QChar c) { return c >= u'A' && c <= u'Z'; };
    return text.size() == 3 || (text.size() == 5 && letter(text[3]) && letter(text[4]));
}

} // namespace

CtyDatabase::CtyDatabase(QStringView ctyDat)
{
    VectorState::clean(); // whatever ran before the load may have left it dirty
    for (QStringView record : ctyDat.tokenize(u';', Qt::SkipEmptyParts))
        addRecord(record);
}

void CtyDatabase::addRecord(QStringView record)
{
    // Eight ":"-separated fields, then the alias list (which may itself hold
    // a ":" and keeps it).
    std::array<QStringView, 8> fields;
    qsizetype start = 0;
    for (QStringView& field : fields) {
        const qsizetype colon = record.indexOf(u':', start);
        if (colon < 0)
            return;
        field = record.sliced(start, colon - start).trimmed();
        start = colon + 1;
    }
    const QStringView aliases = record.sliced(start);

    const auto cq = readZone(fields[1]);
    const auto itu = readZone(fields[2]);
    // A position that is not a finite number would put the country's spots
    // nowhere on the map; StrictNumber refuses NaN and infinities.
    const auto latitude = StrictNumber::parseDouble(fields[4]);
    const auto westLongitude = StrictNumber::parseDouble(fields[5]);
    if (!cq || !itu || !latitude || !westLongitude)
        return;

    QStringView primary = fields[7];
    // "*" marks a place the file keeps apart (Sicily, Shetland) that is no
    // DXCC country of its own.
    const bool dxcc = !primary.startsWith(u'*');
    if (!dxcc)
        primary = primary.sliced(1);
    const CtyEntity entity { fields[0].toString(), *cq, *itu, fields[3].toString(), *latitude, -*westLongitude,
                             primary.toString() };
    ++m_entityCount;
    if (!dxcc)
        m_nonDxcc.insert(entity);
    if (!entity.primaryPrefix.isEmpty())
        addPrefix(entity.primaryPrefix.toUpper(), entity, dxcc);

    qsizetype i = 0;
    const qsizetype n = aliases.size();
    while (i < n) {
        while (i < n && (aliases[i] == u',' || aliases[i].isSpace()))
            ++i;
        const qsizetype begin = i;
        while (i < n && aliases[i] != u',' && !aliases[i].isSpace())
            ++i;
        if (i == begin)
            break;
        const QString alias = stripOverrides(aliases.sliced(begin, i - begin));
        if (alias.isEmpty())
            continue;
        if (alias.startsWith(u'='))
            insert(m_exactCalls, m_dxccExactCalls, QStringView(alias).sliced(1).toString().toUpper(), entity, dxcc);
        else
            addPrefix(alias.toUpper(), entity, dxcc);
    }
}

void CtyDatabase::addPrefix(const StringKey& prefix, const CtyEntity& entity, bool dxcc)
{
    insert(m_prefixes, m_dxccPrefixes, prefix, entity, dxcc);
    m_longestPrefix = std::max(m_longestPrefix, int(prefix.size()));
}

// The later record wins a key in both views: a "*" country hides what the
// key gave before only from the whole view, a DXCC country takes it in both.
void CtyDatabase::insert(QHash<StringKey, CtyEntity>& table, LeftOut& leftOut, const StringKey& key,
                         const CtyEntity& entity, bool dxcc)
{
    if (dxcc) {
        leftOut.remove(key);
    } else if (!leftOut.contains(key)) {
        const auto before = table.constFind(key);
        leftOut.insert(key, before != table.cend() ? std::optional(*before) : std::nullopt);
    }
    table.insert(key, entity);
}

QString CtyDatabase::stripOverrides(QStringView alias)
{
    QString kept;
    kept.reserve(alias.size());
    char16_t closing = 0;
    for (const QChar c : alias) {
        if (closing) {
            if (c == closing)
                closing = 0;
            continue;
        }
        switch (c.unicode()) {
        case u'(':
            closing = u')';
            break;
        case u'[':
            closing = u']';
            break;
        case u'<':
            closing = u'>';
            break;
        case u'{':
            closing = u'}';
            break;
        case u'~':
            closing = u'~';
            break;
        default:
            kept.append(c);
        }
    }
    return kept.trimmed();
}

CtyDatabase CtyDatabase::builtIn(const QList<PrefixEntity>& labels)
{
    CtyDatabase db;
    db.m_builtIn = true;
    for (const PrefixEntity& label : labels) {
        // Labels such as "3D2/c" mark parts of a country that only a real
        // country file can tell apart by call.
        if (label.prefix.contains(u'/'))
            continue;
        const CtyEntity entity { label.name, 0, 0, label.continent, label.lat, label.lon, label.prefix };
        ++db.m_entityCount;
        if (!label.prefix.isEmpty())
            db.addPrefix(label.prefix.toUpper(), entity);
    }
    // The labels name one prefix per country; the common further prefixes
    // let the usual calls of the big countries resolve too.
    const QHash<QString, QString>& aliases = commonAliases();
    for (auto row = aliases.cbegin(); row != aliases.cend(); ++row) {
        const auto owner = db.m_prefixes.constFind(row.key());
        if (owner == db.m_prefixes.cend())
            continue;
        const CtyEntity entity = *owner;
        for (QStringView alias : QStringView(row.value()).tokenize(u',', Qt::SkipEmptyParts))
            db.addPrefix(alias.toString(), entity);
    }
    return db;
}

std::optional<CtyEntity> CtyDatabase::entity(QStringView callsign) const { return lookup(callsign, false); }

std::optional<CtyEntity> CtyDatabase::dxccEntity(QStringView callsign) const { return lookup(callsign, true); }

std::optional<CtyEntity> CtyDatabase::lookup(QStringView callsign, bool dxccOnly) const
{
    VectorState::clean(); // a call arrives after anything at all
    const auto found = [](const CtyEntity* entity) { return entity ? std::optional(*entity) : std::nullopt; };
    const QString call = trimSpacesAndTabs(callsign).toString().toUpper();
    if (call.isEmpty())
        return std::nullopt;
    if (const CtyEntity* exact = exactCall(StringKey::over(call), dxccOnly))
        return *exact;

    QVarLengthArray<QStringView, 4> parts;
    for (QStringView part : QStringView(call).tokenize(u'/', Qt::SkipEmptyParts))
        parts.append(part);
    if (parts.size() > 1 && (parts.last() == u"MM" || parts.last() == u"AM"))
        return std::nullopt;
    if (parts.size() >= 2)
        parts.erase(std::remove_if(parts.begin(), parts.end(), isOperatingSuffix), parts.end());
    if (parts.isEmpty())
        return std::nullopt;

    if (parts.size() == 1) {
        const StringKey part = StringKey::over(parts[0]);
        if (const CtyEntity* exact = exactCall(part, dxccOnly))
            return *exact;
        return found(prefixSearch(parts[0], dxccOnly));
    }
    // A part that is a prefix of the file as it stands names the country
    // when no other part is one (N7WE/VP2V, K2H/OH0).
    const CtyEntity* named = nullptr;
    int prefixParts = 0;
    for (QStringView part : parts) {
        if (const CtyEntity* entity = prefix(StringKey::over(part), dxccOnly)) {
            named = entity;
            ++prefixParts;
        }
    }
    if (prefixParts == 1)
        return *named;
    // Otherwise a foreign prefix before or after a home call is the shorter
    // part and names the country; equal lengths keep the order written.
    std::stable_sort(parts.begin(), parts.end(), [](QStringView a, QStringView b) { return a.size() < b.size(); });
    if (const CtyEntity* first = prefixSearch(parts[0], dxccOnly))
        return *first;
    return found(prefixSearch(parts[1], dxccOnly));
}

const CtyEntity* CtyDatabase::prefix(const StringKey& key, bool dxccOnly) const
{
    return findKey(m_prefixes, dxccOnly ? &m_dxccPrefixes : nullptr, key);
}

const CtyEntity* CtyDatabase::exactCall(const StringKey& key, bool dxccOnly) const
{
    return findKey(m_exactCalls, dxccOnly ? &m_dxccExactCalls : nullptr, key);
}

const CtyEntity* CtyDatabase::prefixSearch(QStringView text, bool dxccOnly) const
{
    for (qsizetype n = std::min<qsizetype>(m_longestPrefix, text.size()); n >= 1; --n) {
        const StringKey key = StringKey::over(text.first(n));
        if (n == 3 && key == u"KG4" && !isGuantanamoCall(text))
            continue;
        if (const CtyEntity* entity = prefix(key, dxccOnly))
            return entity;
    }
    return nullptr;
}

const QHash<QString, QString>& CtyDatabase::commonAliases()
{
    static const QHash<QString, QString> table = {
        { "KL7", "AL,KL,NL,WL" }, { "KH6", "AH6,NH6,WH6" },
        { "KP4", "NP4,WP4" },     { "G", "M,2E,2M,GB,GX" },
        { "GM", "MM,2M0,GS" },    { "GW", "MW,2W" },
        { "GI", "MI,2I" },        { "OK", "OL" },
        { "OM", "OM" },           { "HA", "HG" },
        { "YO", "YP,YQ,YR" },     { "LZ", "LZ" },
        { "OH", "OF,OG,OI" },     { "OZ", "OU,OV,OW,5P,5Q" },
        { "OE", "OE" },           { "HB", "HE" },
        { "CT", "CQ,CR,CS" },     { "SV", "SW,SX,SY,SZ,J4" },
        { "YU", "YT,YZ" },        { "9A", "9A" },
        { "S5", "S5" },           { "LY", "LY" },
        { "YL", "YL" },           { "ES", "ES" },
        { "EW", "EU,EV" },        { "ZL", "ZM" },
        { "ZS", "ZR,ZT,ZU,S8" },  { "TA", "TB,TC,YM" },
        { "4X", "4Z" },           { "HK", "5J,5K" },
        { "YV", "YW,YX,YY,4M" },  { "UN", "UN,UO,UP,UQ" },
        { "HS", "E2" },           { "9M2", "9W2,9M4,9W4" },
        { "OA", "OB,OC,4T" },
    };
    return table;
}
