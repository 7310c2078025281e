// The cluster client's spots as the map and the alerts see them: placing
// them at the map's labels, and the alerts with their 2-second batch.
#include "cluster/DXClusterClient.h"

#include "cluster/AlertSound.h"
#include "cluster/Notifier.h"
#include "kit/AppLog.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

std::optional<CtyEntity> DXClusterClient::entity(const QString& call) { return m_locator.country(call).place; }

QHash<StringKey, SpotGroup> DXClusterClient::activeSpots(const SpotDisplayOptions& options)
{
    return SpotGroups::active(m_book.spots(), options, m_progress ? &*m_progress : nullptr, m_locator);
}

QList<DXSpot> DXClusterClient::watchedSpots(const CallWatchList& list) const
{
    return SpotGroups::watched(m_book.spots(), list);
}

void DXClusterClient::checkAlerts(const DXSpot& spot)
{
    if (!m_alertContext)
        m_alertContext = AlertContext {
            SpotDisplayOptions::fromSettings(m_settings),
            { m_settings.get(SettingKeys::alertWatched), m_settings.get(SettingKeys::alertNeeded) },
        };
    const SpotLocator::CallCountry& country = m_locator.country(spot.call);
    queueAlerts(m_alerts.check(spot, m_alertContext->options, country.dxcc, m_progress ? &*m_progress : nullptr,
                               m_alertContext->switches, m_timing.now()));
}

void DXClusterClient::queueAlerts(const QList<SpotAlert>& alerts)
{
    if (alerts.isEmpty())
        return;
    m_pendingAlerts.append(alerts);
    // Alerts of the next 2 s join this batch; they do not restart the wait.
    if (!m_alertTimer.isActive())
        m_alertTimer.start();
}

void DXClusterClient::flushAlerts()
{
    const QList<SpotAlert> batch = std::exchange(m_pendingAlerts, {});
    if (batch.isEmpty())
        return;
    if (m_settings.get(SettingKeys::alertSound) && m_services.sound && !m_soundFailed
        && !m_services.sound->play(AlertBatch::soundEvent(batch))) {
        // Without a device every try fails, and the sound system writes its
        // complaints to standard error each time.
        m_soundFailed = true;
        AppLog::file().write(QStringLiteral("Alerts: the sound could not be played; it is tried again when the sound "
                                            "setting changes"));
    }
    if (!m_settings.get(SettingKeys::alertNotify) || !m_services.notifier)
        return;
    m_services.notifier->post(AlertBatch::title(batch), AlertBatch::body(batch));
}
