#pragma once

#include "spaceweather/GFZ.h"
#include "spaceweather/Ionosonde.h"
#include "spaceweather/SpaceWeather.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <expected>
#include <functional>
#include <optional>
#include <utility>


// Downloads every space weather feed: one whole snapshot from the NOAA SWPC
// products or from the GFZ Kp service (the aurora always from NOAA), and the
// ionosonde readings. The downloads of one fetch run at the same time and the
// bodies are parsed on the global thread pool, so the thread the client
// lives on only starts requests and assembles the result; the snapshot is
// filled in one fixed order, whichever download ends first. A failed feed
// never fails the fetch: it leaves its fields empty and, for the feeds the
// user sees, its label in `errors`.
//
// Every completion handler runs later on the client's thread, exactly once,
// and never after the client is destroyed (destroying it drops whatever is
// still under way, silently).
class SpaceWeatherClient : public QObject {
    Q_OBJECT
public:
    // Idle time after which a request is given up, the host-name lookup
    // included (not while it waits in line for a connection to a busy host).
    static constexpr std::chrono::milliseconds defaultTimeout { 30000 };
    // Time after which a request is given up however much it has received,
    // so a feed that trickles its answer ends too; counted from its sending,
    // and the wait in line for a connection is bounded by as much again.
    static constexpr std::chrono::milliseconds defaultLimit { 60000 };
    // A body larger than this is refused; the largest feed, the aurora
    // forecast, is about 1 MB.
    static constexpr qint64 maxBodyBytes = 16 * 1024 * 1024;

    explicit SpaceWeatherClient(QObject* parent = nullptr, std::chrono::milliseconds timeout = defaultTimeout,
                                std::chrono::milliseconds limit = defaultLimit);
    ~SpaceWeatherClient() override;

    // Called once for every failed request, with the address's host and path
    // and what went wrong ("HTTP 503", the transport error). Process-wide;
    // setting it replaces the previous hook. It may be set and called from
    // any thread, so the hook itself must be safe to call from any thread.
    using FailureHook = std::function<void(const QString& label, const QString& message)>;
    static void setOnFailure(FailureHook hook);

    // The host and path of an address, as failures name it.
    static QString label(const QUrl& url);

    // The body of one GET without any cache, or the failure's message after
    // the hook has heard of it. A request that failed before any byte of its
    // answer arrived (a connection closed under it before the server
    // answered, say) is sent once more before it counts as failed; the idle time-out
    // and the overall limit end it for good, the limit counting from the
    // first try's sending.
    using Body = std::expected<QByteArray, QString>;
    void get(const QUrl& url, std::function<void(Body)> done);

    // A complete snapshot from the chosen index source; `fetchedAt` is the
    // moment the call was made.
    void fetch(IndexSource source, std::function<void(SpaceWeatherSnapshot)> done);

    // The ionosonde readings; none when the feed could not be downloaded or
    // read, an empty list when it names no usable station.
    void fetchIonosondes(std::function<void(std::optional<QList<IonosondeReading>>)> done);

    // What the requests that failed since the last call said, in the order
    // they ended ("The network cannot be reached.", "HTTP 503").
    QStringList takeFailures() { return std::exchange(m_failures, {}); }

private:
    template <typename T, typename Parse>
    void load(QObject* context, const QUrl& url, Parse parse, std::function<void(std::optional<T>)> done);
    void fetchNOAA(std::function<void(SpaceWeatherSnapshot)> done);
    void fetchGFZ(std::function<void(SpaceWeatherSnapshot)> done);

    std::chrono::milliseconds m_timeout;
    std::chrono::milliseconds m_limit;
    QStringList m_failures;
};
