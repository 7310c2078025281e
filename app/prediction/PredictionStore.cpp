#include "prediction/PredictionStore.h"

#include "kit/AppLog.h"
#include "prediction/ITUDataFiles.h"
#include "prediction/ITUEngine.h"
#include "prediction/ReliabilityColor.h"

#include <QThread>
#include <QTimeZone>

#include <cmath>

namespace {

QString number(double value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); }

QString homeKey(const GeoCoordinate& home) { return number(home.latitude) + QLatin1Char(',') + number(home.longitude); }

QString sunspotKey(std::optional<double> sunspotNumber)
{
    return QString::number(P533::sentSunspotNumber(sunspotNumber.value_or(PredictionStore::assumedSunspotNumber)));
}

QString chartKeyWith(const PrefixEntity& target, const GeoCoordinate& home, const QString& setupKey,
                     std::optional<double> sunspotNumber, const QDateTime& date)
{
    return QStringList { target.prefix, homeKey(home), setupKey, PredictionStore::dayKey(date),
                         sunspotKey(sunspotNumber) }
        .join(QLatin1Char('|'));
}

QString coverageKeyWith(Band band, const GeoCoordinate& home, const QString& setupKey,
                        std::optional<double> sunspotNumber, const QDateTime& date)
{
    const int hour = date.isValid() ? date.toUTC().time().hour() : 0;
    return QStringList { QString::number(rawValue(band)), homeKey(home), setupKey, PredictionStore::dayKey(date),
                         QString::number(hour), sunspotKey(sunspotNumber) }
        .join(QLatin1Char('|'));
}

QList<double> bandCentres()
{
    QList<double> centres;
    for (const auto& band : PropagationPredictor::bands)
        centres.append(band.mhz);
    return centres;
}

} // namespace

PredictionStore::PredictionStore(QObject* parent)
    : PredictionStore(new ITUEngine, parent)
{
}

PredictionStore::PredictionStore(ITUEngine* engine, QObject* parent)
    : QObject(parent)
    , m_engine(engine)
{
    m_engine->setParent(this);
}

PredictionStore::~PredictionStore()
{
    // First, while the store is whole: the engines still running are
    // stopped and no job reports back.
    delete m_engine;
}

bool PredictionStore::useITU(QStringView predictionEngineSetting) const
{
    return PredictionEngineChoices::asksForEngine(predictionEngineSetting) && m_engine->available();
}

QString PredictionStore::setupKey(const StationSetup& setup)
{
    return QString::asprintf("%.0f", setup.powerW) + QLatin1Char('|') + setup.antennas.encoded() + QLatin1Char('|')
        + rawValue(setup.mode) + QLatin1Char('|') + rawValue(setup.noise);
}

QString PredictionStore::dayKey(const QDateTime& date)
{
    const P533::YearMonth ym = P533::yearMonth(date);
    const int day = date.isValid() ? date.toUTC().date().day() : 1;
    return QStringLiteral("%1-%2-%3").arg(ym.year).arg(ym.month).arg(day);
}

QString PredictionStore::chartKey(const PrefixEntity& target, const GeoCoordinate& home, const StationSetup& setup,
                                  std::optional<double> sunspotNumber, const QDateTime& date)
{
    return chartKeyWith(target, home, setupKey(setup), sunspotNumber, date);
}

QString PredictionStore::coverageKey(Band band, const GeoCoordinate& home, const StationSetup& setup,
                                     std::optional<double> sunspotNumber, const QDateTime& date)
{
    return coverageKeyWith(band, home, setupKey(setup), sunspotNumber, date);
}

QList<std::pair<int, int>> PredictionStore::coverageChunks(int processors)
{
    const int n = std::clamp(processors, 2, 12);
    const int rowsPerChunk = (coverageRows + n - 1) / n;
    QList<std::pair<int, int>> chunks;
    for (int first = 0; first < coverageRows; first += rowsPerChunk)
        chunks.append({ first, std::min(first + rowsPerChunk, coverageRows) - 1 });
    return chunks;
}

std::optional<DayChart> PredictionStore::chart(const PrefixEntity& target, const GeoCoordinate& home,
                                               const StationSetup& setup, std::optional<double> sunspotNumber,
                                               const QDateTime& date)
{
    const QString setupText = setupKey(setup);
    const QString key = chartKeyWith(target, home, setupText, sunspotNumber, date);
    if (const auto found = m_charts.constFind(key); found != m_charts.constEnd())
        return *found;
    noteConditions(setupText, date);
    if (m_pending.contains(key) || m_waits.waiting(key))
        return std::nullopt;
    m_pending.insert(key);
    notePower(setup.powerW);

    QList<int> hours;
    for (int hour = 0; hour < 24; ++hour)
        hours.append(hour);
    const P533::Request shortPath
        = P533::Request::path(home, target.coordinate(), setup, otherStationGainDBi, date, hours, bandCentres(),
                              sunspotNumber.value_or(assumedSunspotNumber));
    P533::Request longPath = shortPath;
    longPath.longPath = true;

    // The job begins from the event loop, after this call has answered.
    QMetaObject::invokeMethod(
        this,
        [this, key, requests = QList<P533::Request> { shortPath, longPath }] {
            setBusy(true);
            m_engine->runAll(requests, [this, key](const ITUEngine::Result& result) {
                if (!result)
                    return finishJob(key, result.error().description(), "band wheel");
                DayChart chart(24, QList<double>(PropagationPredictor::bands.size(), 0.0));
                for (const P533::Row& row : *result) {
                    if (row.hourUTC < 0 || row.hourUTC > 23)
                        continue;
                    for (std::size_t b = 0; b < PropagationPredictor::bands.size(); ++b)
                        if (std::abs(PropagationPredictor::bands[b].mhz - row.frequencyMHz) < 0.01) {
                            double& cell = chart[row.hourUTC][qsizetype(b)];
                            cell = std::max(cell, row.reliability);
                            break;
                        }
                }
                if (m_charts.size() > m_maxCharts)
                    m_charts.clear();
                m_charts.insert(key, chart);
                finishJob(key, std::nullopt, "band wheel");
                Q_EMIT chartsChanged();
            });
        },
        Qt::QueuedConnection);
    return std::nullopt;
}

std::optional<QImage> PredictionStore::coverageImage(const GeoCoordinate& home, Band band, const StationSetup& setup,
                                                     std::optional<double> sunspotNumber, const QDateTime& date)
{
    const auto mhz = PropagationPredictor::mhz(band);
    if (!mhz)
        return std::nullopt;
    const QString setupText = setupKey(setup);
    const QString key = coverageKeyWith(band, home, setupText, sunspotNumber, date);
    const auto stored = [this]() -> std::optional<QImage> {
        return m_coverage ? std::optional<QImage>(m_coverage->image) : std::nullopt;
    };
    if (m_coverage && m_coverage->key == key)
        return m_coverage->image;
    noteConditions(setupText, date);
    if (m_pending.contains(key) || m_waits.waiting(key))
        return stored();
    m_pending.insert(key);
    notePower(setup.powerW);

    const P533::YearMonth ym = P533::yearMonth(date);
    const int hour = date.isValid() ? date.toUTC().time().hour() : 0;
    QList<P533::Request> requests;
    for (const auto& [first, last] : coverageChunks(QThread::idealThreadCount())) {
        P533::Request shortPath(home, setup, otherStationGainDBi, ym.year, ym.month, { hour }, { *mhz },
                                sunspotNumber.value_or(assumedSunspotNumber), 89.0 - 2 * first, 89.0 - 2 * last, -179,
                                179, 2, 2);
        P533::Request longPath = shortPath;
        longPath.longPath = true;
        requests << shortPath << longPath;
    }

    QMetaObject::invokeMethod(
        this,
        [this, key, band, requests] {
            setBusy(true);
            m_engine->runAll(requests, [this, key, band](const ITUEngine::Result& result) {
                if (!result)
                    return finishJob(key, result.error().description(), "coverage map");
                QList<double> values(coverageRows * coverageColumns, 0.0);
                for (const P533::Row& row : *result)
                    if (const auto index = PrefixEntity::coverageIndex({ row.latitude, row.longitude }))
                        values[*index] = std::max(values[*index], row.reliability);
                const auto image = ::coverageImage(values, coverageColumns, coverageRows);
                if (image)
                    m_coverage = Coverage { key, *image, values, band };
                finishJob(key, std::nullopt, "coverage map");
                if (image)
                    Q_EMIT coverageChanged();
            });
        },
        Qt::QueuedConnection);
    return stored();
}

std::optional<double> PredictionStore::coverageValue(Band band, const GeoCoordinate& at) const
{
    if (!m_coverage || m_coverage->band != band)
        return std::nullopt;
    const auto index = PrefixEntity::coverageIndex(at);
    if (!index || *index < 0 || *index >= m_coverage->values.size())
        return std::nullopt;
    return m_coverage->values[*index];
}

std::optional<QString> PredictionStore::chartFailure(const PrefixEntity& target, const GeoCoordinate& home,
                                                     const StationSetup& setup, std::optional<double> sunspotNumber,
                                                     const QDateTime& date) const
{
    return m_waits.waiting(chartKey(target, home, setup, sunspotNumber, date));
}

std::optional<QString> PredictionStore::coverageFailure(const GeoCoordinate& home, Band band,
                                                        const StationSetup& setup,
                                                        std::optional<double> sunspotNumber,
                                                        const QDateTime& date) const
{
    return m_waits.waiting(coverageKey(band, home, setup, sunspotNumber, date));
}

void PredictionStore::setClock(const RetryBackoff<QString>::Clock& clock)
{
    m_waits.setClock(clock);
    m_engine->dataFiles().setClock(clock);
}

void PredictionStore::noteConditions(const QString& setupKey, const QDateTime& date)
{
    const P533::YearMonth ym = P533::yearMonth(date);
    const QString conditions = setupKey + QStringLiteral("|%1-%2").arg(ym.year).arg(ym.month);
    if (conditions == m_conditions)
        return;
    // What failed under other conditions may work now.
    m_conditions = conditions;
    m_waits.clear();
    m_engine->dataFiles().forgetFailures();
}

void PredictionStore::notePower(double powerW)
{
    const bool same = m_loggedPower && (*m_loggedPower == powerW || (std::isnan(*m_loggedPower) && std::isnan(powerW)));
    if (powerW >= P533::minimumPowerW || same)
        return;
    m_loggedPower = powerW;
    AppLog::file().write(QStringLiteral("ITU engine: the engine takes no power under %1 W; predicting with %1 W "
                                        "instead of the station's %2 W")
                             .arg(P533::fmt(P533::minimumPowerW, 0),
                                  QString::number(powerW, 'g', QLocale::FloatingPointShortest)));
}

void PredictionStore::finishJob(const QString& key, const std::optional<QString>& error, const char* logArea)
{
    // The back-off first: the signals below make the views ask again.
    if (error) {
        m_waits.failed(key, *error);
        AppLog::file().write(QStringLiteral("ITU engine (%1): %2").arg(QLatin1String(logArea), *error));
    } else {
        m_waits.clear();
    }
    setLastError(error);
    m_pending.remove(key);
    setBusy(!m_pending.isEmpty());
}

void PredictionStore::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    Q_EMIT busyChanged(busy);
}

void PredictionStore::setLastError(const std::optional<QString>& error)
{
    if (m_lastError == error)
        return;
    m_lastError = error;
    Q_EMIT lastErrorChanged();
}
