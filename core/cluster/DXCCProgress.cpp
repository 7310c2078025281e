#include "cluster/DXCCProgress.h"

#include "support/RawValue.h"

QString rawValue(NeedScope scope)
{
    switch (scope) {
    case NeedScope::country:
        return QStringLiteral("country");
    case NeedScope::bandCountry:
        return QStringLiteral("bandCountry");
    }
    return {};
}

QString title(NeedScope scope)
{
    switch (scope) {
    case NeedScope::country:
        return QStringLiteral("New country (not worked on any band)");
    case NeedScope::bandCountry:
        return QStringLiteral("New band-country (not worked on that band)");
    }
    return {};
}

std::optional<NeedScope> needScopeFromRaw(QStringView text) { return findRaw(allNeedScopes, text); }

namespace {

QString slot(const QString& prefix, Band band) { return prefix + u'|' + QString::number(rawValue(band)); }

} // namespace

DXCCProgress::DXCCProgress(const QList<LogbookQSO>& qsos, const CtyDatabase& countries)
    : qsoCount(int(qsos.size()))
{
    for (const LogbookQSO& qso : qsos) {
        // Sicily counts as Italy, Shetland as Scotland.
        const auto entity = countries.dxccEntity(qso.call);
        if (!entity) {
            ++unknownCalls;
            continue;
        }
        const QString prefix = entity->primaryPrefix.toUpper();
        worked.insert(prefix);
        if (qso.confirmed)
            confirmed.insert(prefix);
        if (qso.band) {
            const QString bandSlot = slot(prefix, *qso.band);
            workedSlots.insert(bandSlot);
            if (qso.confirmed)
                confirmedSlots.insert(bandSlot);
        }
    }
}

bool DXCCProgress::isNeeded(const CtyEntity& entity, std::optional<Band> band, NeedScope scope,
                            bool confirmedOnly) const
{
    const QString prefix = entity.primaryPrefix.toUpper();
    if (scope == NeedScope::country)
        return !(confirmedOnly ? confirmed : worked).contains(StringKey::over(prefix));
    if (!band)
        return false;
    const QString bandSlot = slot(prefix, *band);
    return !(confirmedOnly ? confirmedSlots : workedSlots).contains(StringKey::over(bandSlot));
}

CallWatchList::CallWatchList(QStringView text)
{
    const QString upper = text.toString().toUpper();
    qsizetype i = 0;
    const qsizetype n = upper.size();
    const auto isSeparator
        = [&](qsizetype at) { return upper[at] == u',' || upper[at] == u';' || upper[at].isSpace(); };
    while (i < n) {
        while (i < n && isSeparator(i))
            ++i;
        const qsizetype begin = i;
        while (i < n && !isSeparator(i))
            ++i;
        if (i > begin)
            m_patterns.append(upper.sliced(begin, i - begin));
    }
}

bool CallWatchList::matches(QStringView call) const
{
    if (m_patterns.isEmpty())
        return false;
    const QString upper = call.toString().toUpper();
    for (const QString& pattern : m_patterns) {
        if (pattern.contains(u'*')) {
            if (wildcard(pattern, upper))
                return true;
            continue;
        }
        if (pattern == upper)
            return true;
        for (QStringView part : QStringView(upper).tokenize(u'/', Qt::SkipEmptyParts))
            if (part == pattern)
                return true;
    }
    return false;
}

// Anchored at both ends; "*" stands for any run of characters, none
// included. Middle pieces take their first occurrence, which is enough
// because the last piece is then tested against the longest possible rest.
bool CallWatchList::wildcard(QStringView pattern, QStringView text)
{
    const QList<QStringView> pieces = pattern.split(u'*');
    QStringView rest = text;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QStringView piece = pieces[i];
        if (piece.isEmpty())
            continue;
        if (i == 0) {
            if (!rest.startsWith(piece))
                return false;
            rest = rest.sliced(piece.size());
        } else if (i == pieces.size() - 1) {
            return rest.endsWith(piece);
        } else {
            const qsizetype at = rest.indexOf(piece);
            if (at < 0)
                return false;
            rest = rest.sliced(at + piece.size());
        }
    }
    return true;
}
