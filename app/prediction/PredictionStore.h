#pragma once

#include "cluster/Band.h"
#include "geo/MapData.h"
#include "prediction/P533.h"
#include "prediction/PropagationPredictor.h"
#include "support/RetryBackoff.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>

class ITUEngine;

// The predictions made with the ITU-R P.533 engine: the 24-hour band chart
// from the station to a place (the hover panel's wheel) and the coverage
// image of one band for the current UTC hour (the coverage layer). Each
// answer comes from the cache when it is there; otherwise the store starts
// one engine job for it and answers with nothing (a chart) or with the last
// image it has (coverage); when the job ends the result is published and
// the views ask again. At most one job runs per key. Callers may ask on
// every redraw: a key whose job failed is not tried again before its
// back-off has passed (30 s, doubling up to 30 minutes; RetryBackoff), so
// an engine that keeps failing is not restarted at every repaint. A change
// of the station setup or of the month, or any successful job, ends every
// back-off, the data files' included.
//
// Owned by CorvantaApp, on the main thread; it starts nothing by itself.
// Destroying it stops the engines still running.
class PredictionStore : public QObject {
    Q_OBJECT
public:
    struct Coverage {
        QString key;
        QImage image;
        QList<double> values; // 90 × 180, row-major, row 0 centred at 89° N, column 0 at 179° W
        Band band;
    };

    static constexpr qsizetype maxCharts = 200;
    static constexpr int coverageRows = 90;
    static constexpr int coverageColumns = 180;
    // The gain assumed for the far station's antenna.
    static constexpr double otherStationGainDBi = 3.0;
    // What the engine is given while space weather has no sunspot number.
    static constexpr double assumedSunspotNumber = 80;

    // With the engine in its standard folders.
    explicit PredictionStore(QObject* parent = nullptr);
    // With this engine, which the store takes over.
    PredictionStore(ITUEngine* engine, QObject* parent);
    ~PredictionStore() override;

    ITUEngine& engine() const { return *m_engine; }
    // Tests fill a smaller cache than maxCharts, and move the back-offs'
    // time along (the store's and the data files').
    void setMaxCharts(qsizetype count) { m_maxCharts = count; }
    void setClock(const RetryBackoff<QString>::Clock& clock);

    // Whether the map predicts with the engine: the stored
    // SettingKeys::predictionEngine asks for it (anything but "quick") and
    // the engine is installed. Otherwise the quick model serves.
    bool useITU(QStringView predictionEngineSetting) const;

    // The chart from `home` to the target (its prefix names it, its lat and
    // lon are the far end): 24 rows of the ten band reliabilities in the
    // order of PropagationPredictor::bands, each cell the better of the
    // short and the long path. None while it is computed or after a failure.
    std::optional<DayChart> chart(const PrefixEntity& target, const GeoCoordinate& home, const StationSetup& setup,
                                  std::optional<double> sunspotNumber, const QDateTime& date);
    // The 180 × 90 coverage image of the band for the UTC hour of `date`;
    // while it is computed, the last image of any band or hour. None for a
    // band that is not predicted.
    std::optional<QImage> coverageImage(const GeoCoordinate& home, Band band, const StationSetup& setup,
                                        std::optional<double> sunspotNumber, const QDateTime& date);
    // The stored coverage value of the cell holding the point, when the
    // stored coverage is of this band (whatever its hour, station or setup).
    std::optional<double> coverageValue(Band band, const GeoCoordinate& at) const;

    // The failure the chart or the coverage map waits out before it is
    // tried again; none while it may be asked for. The views show it in
    // place of a spinner.
    std::optional<QString> chartFailure(const PrefixEntity& target, const GeoCoordinate& home,
                                        const StationSetup& setup, std::optional<double> sunspotNumber,
                                        const QDateTime& date) const;
    std::optional<QString> coverageFailure(const GeoCoordinate& home, Band band, const StationSetup& setup,
                                           std::optional<double> sunspotNumber, const QDateTime& date) const;

    bool busy() const { return m_busy; }
    // The message of the last failed job, until a job succeeds.
    const std::optional<QString>& lastError() const { return m_lastError; }
    const QHash<QString, DayChart>& charts() const { return m_charts; }
    const std::optional<Coverage>& coverage() const { return m_coverage; }

    // The parts of the cache keys. The sunspot part is the number the
    // engine is actually given, so two inputs share a key exactly when the
    // engine sees the same request.
    static QString setupKey(const StationSetup& setup);
    static QString dayKey(const QDateTime& date);
    static QString chartKey(const PrefixEntity& target, const GeoCoordinate& home, const StationSetup& setup,
                            std::optional<double> sunspotNumber, const QDateTime& date);
    static QString coverageKey(Band band, const GeoCoordinate& home, const StationSetup& setup,
                               std::optional<double> sunspotNumber, const QDateTime& date);

    // The grid rows of a coverage map cut into one chunk per processor
    // (2 … 12 chunks), each a first and last row, from the north.
    static QList<std::pair<int, int>> coverageChunks(int processors);

Q_SIGNALS:
    void busyChanged(bool busy);
    void lastErrorChanged();
    void chartsChanged();
    void coverageChanged();

private:
    // Ends every back-off when the setup or the month differs from the last
    // request's.
    void noteConditions(const QString& setupKey, const QDateTime& date);
    // Says once per power in the log that the engine is given 1 W instead.
    void notePower(double powerW);
    void finishJob(const QString& key, const std::optional<QString>& error, const char* logArea);
    void setBusy(bool busy);
    void setLastError(const std::optional<QString>& error);

    ITUEngine* m_engine = nullptr;
    QHash<QString, DayChart> m_charts;
    qsizetype m_maxCharts = maxCharts;
    std::optional<Coverage> m_coverage;
    QSet<QString> m_pending;
    bool m_busy = false;
    std::optional<QString> m_lastError;
    RetryBackoff<QString> m_waits; // failed keys
    QString m_conditions;          // setup key and month of the last request
    std::optional<double> m_loggedPower;
};
