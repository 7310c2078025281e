#pragma once

#include "spaceweather/SpaceWeather.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class QTimer;
class SpaceWeatherClient;

// The application's one holder of space weather: the latest snapshot,
// whether a refresh runs, and the line naming the feeds that failed. It
// refreshes at once when created and then every "refreshMinutes" (at least
// 5, 10 by default) after the previous refresh has ended. Each refresh reads
// "indexSource" and "mufSource", asks for the ionosonde readings only when
// the last ones are older than 14 minutes, and keeps the last good value of
// every feed that brought nothing this time. Main thread.
class SpaceWeatherStore : public QObject {
    Q_OBJECT
public:
    // Ionosonde readings younger than this (or exactly this old) are kept
    // without asking the service again.
    static constexpr qint64 ionosondeMaxAgeSeconds = 840;

    // What tests set; the application takes the defaults.
    struct Options {
        bool startLoop = true;                              // start the refresh loop at construction
        std::chrono::milliseconds minute { 60000 };         // the loop's minute
        std::chrono::milliseconds requestTimeout { 30000 }; // a request's idle time-out
        std::chrono::milliseconds requestLimit { 60000 };   // a request's overall limit
        std::function<QDateTime()> now;                     // the clock of the ionosonde age; UTC now when empty
    };

    explicit SpaceWeatherStore(QObject* parent = nullptr);
    explicit SpaceWeatherStore(Options options, QObject* parent = nullptr);
    ~SpaceWeatherStore() override;

    // Starts a refresh; does nothing while one runs (the request is dropped,
    // not queued). The menu command, the toolbar button and the data
    // settings call it.
    void refresh();
    // Ends the running loop and starts a new one, which refreshes as soon as
    // the event loop is free. A refresh under way runs to its end.
    void startAutoRefresh();

    const SpaceWeatherSnapshot& snapshot() const { return m_snapshot; }
    // True while a refresh runs.
    bool isLoading() const { return m_isLoading; }
    // "Could not load: " and the failed feeds, or none after a refresh
    // without failure.
    const std::optional<QString>& lastError() const { return m_lastError; }
    // What the failed requests of that refresh said, when they all said the
    // same ("The network cannot be reached."); none otherwise.
    const std::optional<QString>& lastErrorCause() const { return m_lastErrorCause; }
    // When the last refresh ended, if it brought no value at all (every
    // feed failed, or the computer is offline); none once a refresh brings
    // one. The snapshot's `fetchedAt` stays the time of the last refresh
    // that brought something. Set before the snapshot is published.
    const std::optional<QDateTime>& failedAt() const { return m_failedAt; }

Q_SIGNALS:
    void snapshotChanged();
    void isLoadingChanged();
    void lastErrorChanged();

protected:
    // Only the store's own refresh sets these; each notifies on a change.
    void setLoading(bool loading);
    void setLastError(const std::optional<QString>& error, const std::optional<QString>& cause = std::nullopt);

private:
    void loopPass();
    void takeIonosondes(SpaceWeatherSnapshot fresh, bool ionosondesOn);
    void finishRefresh(SpaceWeatherSnapshot fresh, bool ionosondesFailed, bool newIonosondes);
    QDateTime now() const;

    Options m_options;
    SpaceWeatherClient* m_client;
    QTimer* m_loop;
    // The loop waits for the refresh under way before it sleeps again.
    bool m_loopWaiting = false;

    SpaceWeatherSnapshot m_snapshot;
    bool m_isLoading = false;
    std::optional<QString> m_lastError;
    std::optional<QString> m_lastErrorCause;
    std::optional<QDateTime> m_failedAt;
};
