#include "prediction/PredictionStore.h"

#include "kit/AppLog.h"
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
    return QStringList { target.prefix, homeKey(home), setupKey(setup), dayKey(date), sunspotKey(sunspotNumber) }.join(
        QLatin1Char('|'));
}

QString PredictionStore::coverageKey(Band band, const GeoCoordinate& home, const StationSetup& setup,
                                     std::optional<double> sunspotNumber, const QDateTime& date)
{
    const int hour = date.isValid() ? date.toUTC().time().hour() : 0;
    return QStringList {
        QString::number(rawValue(band)), homeKey(home), setupKey(setup), dayKey(date), QString::number(hour),
        sunspotKey(sunspotNumber)
    }
        .join(QLatin1Char('|'));
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
    const QString key = chartKey(target, home, setup, sunspotNumber, date);
    if (const auto found = m_charts.constFind(key); found != m_charts.constEnd())
        return *found;
    if (m_pending.contains(key))
        return std::nullopt;
    m_pending.insert(key);

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
    const QString key = coverageKey(band, home, setup, sunspotNumber, date);
    const auto stored = [this]() -> std::optional<QImage> {
        return m_coverage ? std::optional<QImage>(m_coverage->image) : std::nullopt;
    };
    if (m_coverage && m_coverage->key == key)
        return m_coverage->image;
    if (m_pending.contains(key))
        return stored();
    m_pending.insert(key);

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

void PredictionStore::finishJob(const QString& key, const std::optional<QString>& error, const char* logArea)
{
    if (error)
        AppLog::file().write(QStringLiteral("ITU engine (%1): %2").arg(QLatin1String(logArea), *error));
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
