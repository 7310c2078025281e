#include "cluster/SpotAlerts.h"

#include <algorithm>

namespace {

QString bandMetres(const DXSpot& spot) { return QString::number(spot.band ? rawValue(*spot.band) : 0); }

} // namespace

QString SpotAlerts::watchedKey(const DXSpot& spot)
{
    return QStringLiteral("W|") + spot.call + u'|' + bandMetres(spot);
}

QString SpotAlerts::neededKey(const CtyEntity& country, const DXSpot& spot, NeedScope scope)
{
    QString key = QStringLiteral("N|") + country.primaryPrefix;
    if (scope == NeedScope::bandCountry)
        key += u'|' + bandMetres(spot);
    return key;
}

QString SpotAlerts::detail(const DXSpot& spot)
{
    // Locale-independent: "14025.0" under any locale.
    QString text = QString::number(spot.frequencyKHz, 'f', 1);
    if (spot.mode)
        text += u' ' + rawValue(*spot.mode);
    return text;
}

QList<SpotAlert> SpotAlerts::check(const DXSpot& spot, const SpotDisplayOptions& options,
                                   const std::optional<CtyEntity>& dxcc, const DXCCProgress* progress,
                                   Switches switches, const QDateTime& now)
{
    QList<SpotAlert> raised;
    if (options.watchList.matches(spot.call)) {
        const QString key = watchedKey(spot);
        if (!m_seen.contains(StringKey::over(key)) && switches.watched)
            raised.append({ spot.call
                            + QStringLiteral(" is on ") + detail(spot)
                                             + QStringLiteral(" (spotted by ") + spot.spotter + u')', true });
        m_seen.insert(key, now);
    }
    if (!options.filter().accepts(spot) || !dxcc || !progress
        || !progress->isNeeded(*dxcc, spot.band, options.needScope, options.confirmedOnly))
        return raised;
    const QString key = neededKey(*dxcc, spot, options.needScope);
    if (!m_seen.contains(StringKey::over(key)) && switches.needed) {
        QString text = options.needScope == NeedScope::bandCountry ? QStringLiteral("New band-country")
                                                                   : QStringLiteral("New country");
        if (spot.band)
            text += QStringLiteral(" on ") + title(*spot.band);
        text += QStringLiteral(": ") + dxcc->name + QStringLiteral(", ") + spot.call + u' ' + detail(spot);
        raised.append({ text, false });
    }
    m_seen.insert(key, now);
    return raised;
}

void SpotAlerts::prune(const QDateTime& cutoff)
{
    m_seen.removeIf([&](QHash<StringKey, QDateTime>::iterator entry) { return entry.value() < cutoff; });
}

void SpotAlerts::forgetNeeded()
{
    m_seen.removeIf(
        [](QHash<StringKey, QDateTime>::iterator entry) { return entry.key().startsWith(QLatin1String("N|")); });
}

namespace AlertBatch {

QString title(const QList<SpotAlert>& alerts)
{
    if (alerts.size() == 1)
        return alerts.front().watched ? QStringLiteral("Watched call on the cluster")
                                      : QStringLiteral("Needed country on the cluster");
    return QString::number(alerts.size()) + QStringLiteral(" DX alerts");
}

QString body(const QList<SpotAlert>& alerts)
{
    QStringList lines;
    for (const SpotAlert& alert : alerts.first(std::min<qsizetype>(alerts.size(), 5)))
        lines.append(alert.text);
    if (alerts.size() > 5)
        lines.append(QStringLiteral("\u2026"));
    return lines.join(u'\n');
}

QString soundEvent(const QList<SpotAlert>& alerts)
{
    const bool anyWatched = std::ranges::any_of(alerts, &SpotAlert::watched);
    return anyWatched ? QStringLiteral("complete") : QStringLiteral("message-new-instant");
}

} // namespace AlertBatch
