#include "spaceweather/SpaceWeatherStore.h"

#include "kit/AppLog.h"
#include "spaceweather/SpaceWeatherClient.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QTimer>

namespace {

// The new fetch completed with the values of the published snapshot where it
// brought nothing, so a failed feed keeps showing its last good value. The
// fetch's own time, failures and source stand; the ionosondes are decided
// before.
SpaceWeatherSnapshot mergedOver(SpaceWeatherSnapshot fresh, const SpaceWeatherSnapshot& current)
{
    if (!fresh.aurora)
        fresh.aurora = current.aurora;
    if (!fresh.kpNow) {
        fresh.kpNow = current.kpNow;
        fresh.kpNowTime = current.kpNowTime;
    }
    if (fresh.kpHistory.isEmpty())
        fresh.kpHistory = current.kpHistory;
    if (!fresh.solarFlux) {
        fresh.solarFlux = current.solarFlux;
        fresh.solarFluxTime = current.solarFluxTime;
    }
    if (!fresh.bz) {
        fresh.bz = current.bz;
        fresh.bt = current.bt;
    }
    if (!fresh.windSpeed)
        fresh.windSpeed = current.windSpeed;
    // An A index given by one source says nothing under the other.
    if (!fresh.aIndexValue && fresh.indexSource == current.indexSource) {
        fresh.aIndexValue = current.aIndexValue;
        fresh.aIndexTime = current.aIndexTime;
    }
    if (!fresh.sunspotNumber) {
        fresh.sunspotNumber = current.sunspotNumber;
        fresh.sunspotTime = current.sunspotTime;
    }
    return fresh;
}

// Whether a fetch brought any value of its own: an index, the aurora, the
// solar wind or new ionosonde readings.
bool broughtAnything(const SpaceWeatherSnapshot& fresh, bool newIonosondes)
{
    return newIonosondes || fresh.aurora || fresh.kpNow || !fresh.kpHistory.isEmpty() || fresh.solarFlux || fresh.bz
        || fresh.bt || fresh.windSpeed || fresh.sunspotNumber || fresh.aIndexValue;
}

} // namespace

SpaceWeatherStore::SpaceWeatherStore(QObject* parent)
    : SpaceWeatherStore(Options {}, parent)
{
}

SpaceWeatherStore::SpaceWeatherStore(Options options, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_client(new SpaceWeatherClient(this, m_options.requestTimeout, m_options.requestLimit))
    , m_loop(new QTimer(this))
{
    m_loop->setSingleShot(true);
    m_loop->setObjectName(QStringLiteral("refreshLoop"));
    connect(m_loop, &QTimer::timeout, this, &SpaceWeatherStore::loopPass);
    if (m_options.startLoop)
        startAutoRefresh();
}

SpaceWeatherStore::~SpaceWeatherStore() = default;

QDateTime SpaceWeatherStore::now() const { return m_options.now ? m_options.now() : QDateTime::currentDateTimeUtc(); }

void SpaceWeatherStore::startAutoRefresh()
{
    // The old loop ends here; a refresh it started finishes on its own but
    // no longer schedules the old loop's next pass.
    m_loopWaiting = false;
    m_loop->start(0);
}

void SpaceWeatherStore::loopPass()
{
    if (m_isLoading) {
        // Someone else's refresh is under way: this pass's refresh is a
        // no-op, and the sleep starts now.
        m_loop->start(m_options.minute * Settings::standard().get(SettingKeys::refreshMinutes));
        return;
    }
    m_loopWaiting = true;
    refresh();
}

void SpaceWeatherStore::refresh()
{
    if (m_isLoading)
        return;
    setLoading(true);
    m_client->takeFailures(); // only this refresh's are its cause

    const Settings& settings = Settings::standard();
    const IndexSource source = indexSourceFromRaw(settings.get(SettingKeys::indexSource)).value_or(IndexSource::noaa);
    const bool ionosondesOn = settings.get(SettingKeys::mufSource) != QLatin1String("off");

    // Indices of the other source must not stand beside this one's while it
    // loads, nor stay when this one fails.
    if (m_snapshot.fetchedAt && m_snapshot.indexSource != source) {
        m_snapshot.kpNow.reset();
        m_snapshot.aIndexValue.reset();
        m_snapshot.aIndexTime.reset();
        m_snapshot.solarFlux.reset();
        m_snapshot.sunspotNumber.reset();
        m_snapshot.kpHistory.clear();
        Q_EMIT snapshotChanged();
    }

    m_client->fetch(source, [this, ionosondesOn](SpaceWeatherSnapshot fresh) {
        takeIonosondes(std::move(fresh), ionosondesOn);
    });
}

void SpaceWeatherStore::takeIonosondes(SpaceWeatherSnapshot fresh, bool ionosondesOn)
{
    if (!ionosondesOn) {
        fresh.ionosondes.clear();
        fresh.ionosondesFetchedAt.reset();
        finishRefresh(std::move(fresh), false, false);
        return;
    }
    const std::optional<QDateTime>& fetchedAt = m_snapshot.ionosondesFetchedAt;
    if (fetchedAt && fetchedAt->msecsTo(now()) <= ionosondeMaxAgeSeconds * 1000) {
        fresh.ionosondes = m_snapshot.ionosondes;
        fresh.ionosondesFetchedAt = fetchedAt;
        finishRefresh(std::move(fresh), false, false);
        return;
    }
    m_client->fetchIonosondes(
        [this, fresh = std::move(fresh)](std::optional<QList<IonosondeReading>> readings) mutable {
            // No usable station counts as a failure: the old readings stay, with
            // their old time, so the next refresh asks again.
            const bool failed = !readings || readings->isEmpty();
            if (failed) {
                fresh.ionosondes = m_snapshot.ionosondes;
                fresh.ionosondesFetchedAt = m_snapshot.ionosondesFetchedAt;
            } else {
                fresh.ionosondes = std::move(*readings);
                fresh.ionosondesFetchedAt = now();
            }
            finishRefresh(std::move(fresh), failed, !failed);
        });
}

void SpaceWeatherStore::finishRefresh(SpaceWeatherSnapshot fresh, bool ionosondesFailed, bool newIonosondes)
{
    // A refresh that brought nothing is no update: the snapshot keeps the
    // time of the last one that did.
    if (broughtAnything(fresh, newIonosondes)) {
        m_failedAt.reset();
    } else {
        fresh.fetchedAt = m_snapshot.fetchedAt;
        m_failedAt = now();
    }
    m_snapshot = mergedOver(std::move(fresh), m_snapshot);
    Q_EMIT snapshotChanged();

    // The ionosonde feed is named in the line, never in the snapshot.
    QStringList failed = m_snapshot.errors;
    if (ionosondesFailed)
        failed << QStringLiteral("MUF (Zelq)");
    QStringList causes = m_client->takeFailures();
    causes.removeDuplicates();
    if (failed.isEmpty()) {
        setLastError(std::nullopt);
    } else {
        const QString line = QStringLiteral("Could not load: ") + failed.join(QStringLiteral(", "));
        AppLog::file().write(line);
        setLastError(line, causes.size() == 1 ? std::optional(causes.first()) : std::nullopt);
    }
    setLoading(false);

    if (m_loopWaiting) {
        m_loopWaiting = false;
        m_loop->start(m_options.minute * Settings::standard().get(SettingKeys::refreshMinutes));
    }
}

void SpaceWeatherStore::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    Q_EMIT isLoadingChanged();
}

void SpaceWeatherStore::setLastError(const std::optional<QString>& error, const std::optional<QString>& cause)
{
    if (m_lastError == error && m_lastErrorCause == cause)
        return;
    m_lastError = error;
    m_lastErrorCause = cause;
    Q_EMIT lastErrorChanged();
}
