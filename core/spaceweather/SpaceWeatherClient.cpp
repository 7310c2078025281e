#include "spaceweather/SpaceWeatherClient.h"

#include "spaceweather/SWPCFeeds.h"
#include "support/Download.h"
#include "support/DownloadFailure.h"
#include "support/PoolJob.h"

#include <QMutex>
#include <QPointer>

#include <memory>
#include <utility>

namespace {

struct HookSlot {
    QMutex mutex;
    SpaceWeatherClient::FailureHook hook;
};

HookSlot& hookSlot()
{
    static HookSlot slot;
    return slot;
}

void reportFailure(const QString& label, const QString& message)
{
    SpaceWeatherClient::FailureHook hook;
    {
        QMutexLocker lock(&hookSlot().mutex);
        hook = hookSlot().hook;
    }
    // Called outside the lock, so a hook may replace itself.
    if (hook)
        hook(label, message);
}

// What an ended download amounts to: its body, or why there is none, in
// the download's own words.
SpaceWeatherClient::Body bodyOf(const Download::Outcome& outcome)
{
    if (const std::optional<QString> failure = DownloadFailure::of(outcome))
        return std::unexpected(*failure);
    return outcome.body;
}

// Runs `parse` over a body on the global thread pool and hands its value (or
// none, when it refused the body) to `done` on the context's thread. Nothing
// arrives once the context is gone.
template <typename T, typename Parse>
void parseAway(QObject* context, QByteArray body, Parse parse, std::function<void(std::optional<T>)> done)
{
    PoolJob::run(
        context,
        [body = std::move(body), parse = std::move(parse)]() -> std::optional<T> {
            auto parsed = parse(body);
            return parsed ? std::optional<T>(std::move(*parsed)) : std::nullopt;
        },
        std::move(done));
}

// One fetch under way: what each feed brought, kept until its last download
// has ended, then put into the snapshot in the fixed order.
class FetchJob : public QObject {
public:
    FetchJob(QObject* parent, std::function<void(SpaceWeatherSnapshot)> done)
        : QObject(parent)
        , m_done(std::move(done))
    {
        snapshot.fetchedAt = QDateTime::currentDateTimeUtc();
    }

    // A handler that keeps a feed's value in `slot` and counts the feed as
    // ended. Make every handler of a step before any of them can run.
    template <typename T>
    std::function<void(std::optional<T>)> into(std::optional<T>& slot)
    {
        ++m_pending;
        return [this, &slot](std::optional<T> value) {
            slot = std::move(value);
            settle();
        };
    }

    // One feed fewer under way; after the last, `assemble` and hand over.
    void settle()
    {
        if (--m_pending > 0)
            return;
        if (assemble)
            assemble(snapshot);
        // Once only: the job is gone with the next pass of the event loop.
        const auto done = std::move(m_done);
        deleteLater();
        done(std::move(snapshot));
    }

    SpaceWeatherSnapshot snapshot;
    std::function<void(SpaceWeatherSnapshot&)> assemble;

private:
    std::function<void(SpaceWeatherSnapshot)> m_done;
    int m_pending = 0;
};

} // namespace

SpaceWeatherClient::SpaceWeatherClient(QObject* parent, std::chrono::milliseconds timeout,
                                       std::chrono::milliseconds limit)
    : QObject(parent)
    , m_timeout(timeout)
    , m_limit(limit)
{
}

SpaceWeatherClient::~SpaceWeatherClient()
{
    // Requests still under way end without a word: no handler of a fetch
    // that nobody waits for may run while the client comes apart.
    qDeleteAll(findChildren<Download*>(Qt::FindDirectChildrenOnly));
}

void SpaceWeatherClient::setOnFailure(FailureHook hook)
{
    FailureHook previous;
    {
        QMutexLocker lock(&hookSlot().mutex);
        previous = std::exchange(hookSlot().hook, std::move(hook));
    }
}

QString SpaceWeatherClient::label(const QUrl& url) { return url.host() + url.path(); }

void SpaceWeatherClient::get(const QUrl& url, std::function<void(Body)> done)
{
    Download::Limits limits { m_timeout, m_limit, maxBodyBytes };
    limits.resendUnanswered = true;
    auto* download = new Download({ url }, limits, this);
    download->get([this, url, done = std::move(done)](const Download::Outcome& outcome) {
        Body body = bodyOf(outcome);
        if (!body) {
            reportFailure(label(url), DownloadFailure::logged(body.error(), outcome));
            m_failures << body.error();
        }
        done(std::move(body));
    });
}

template <typename T, typename Parse>
void SpaceWeatherClient::load(QObject* context, const QUrl& url, Parse parse,
                              std::function<void(std::optional<T>)> done)
{
    get(url, [context = QPointer<QObject>(context), parse, done = std::move(done)](Body body) mutable {
        if (!context)
            return;
        if (!body)
            done(std::nullopt);
        else
            parseAway<T>(context, std::move(*body), std::move(parse), std::move(done));
    });
}

void SpaceWeatherClient::fetch(IndexSource source, std::function<void(SpaceWeatherSnapshot)> done)
{
    if (source == IndexSource::gfz)
        fetchGFZ(std::move(done));
    else
        fetchNOAA(std::move(done));
}

void SpaceWeatherClient::fetchNOAA(std::function<void(SpaceWeatherSnapshot)> done)
{
    struct Feeds {
        std::optional<AuroraGrid> aurora;
        std::optional<SWPCParser::KpNow> kpNow;
        std::optional<QList<KpSample>> kpHistory;
        std::optional<SWPCParser::SolarFlux> flux;
        std::optional<SWPCParser::MagField> mag;
        std::optional<double> wind;
        std::optional<SWPCParser::Sunspots> sunspots;
    };
    auto* job = new FetchJob(this, std::move(done));
    auto feeds = std::make_shared<Feeds>();

    // All seven at once; a second choice is asked for as soon as the first
    // one has failed, while the others keep running.
    load(job, SWPCEndpoint::ovationAurora(), &SWPCParser::aurora, job->into(feeds->aurora));
    load(job, SWPCEndpoint::kp1Minute(), &SWPCParser::kpNow, job->into(feeds->kpNow));
    load(job, SWPCEndpoint::kp3Hour(), &SWPCParser::kpHistory, job->into(feeds->kpHistory));
    load<SWPCParser::SolarFlux>(job, SWPCEndpoint::f107(), &SWPCParser::solarFlux,
                                [this, job, feeds, first = job->into(feeds->flux)](auto flux) {
                                    if (!flux)
                                        load(job, SWPCEndpoint::f107Summary(), &SWPCParser::solarFlux,
                                             job->into(feeds->flux));
                                    first(std::move(flux));
                                });
    load(job, SWPCEndpoint::magSummary(), &SWPCParser::magField, job->into(feeds->mag));
    load(job, SWPCEndpoint::windSummary(), &SWPCParser::windSpeed, job->into(feeds->wind));
    load<SWPCParser::Sunspots>(job, SWPCEndpoint::sunspotsDaily(), &SWPCParser::sunspots,
                               [this, job, feeds, first = job->into(feeds->sunspots)](auto ssn) {
                                   if (!ssn)
                                       load(job, SWPCEndpoint::sunspotsMonthly(), &SWPCParser::sunspots,
                                            job->into(feeds->sunspots));
                                   first(std::move(ssn));
                               });

    job->assemble = [feeds](SpaceWeatherSnapshot& s) {
        const Feeds& f = *feeds;
        if (f.aurora)
            s.aurora = f.aurora;
        else
            s.errors << QStringLiteral("aurora");
        if (f.kpNow) {
            s.kpNow = f.kpNow->kp;
            s.kpNowTime = f.kpNow->time;
        } else {
            s.errors << QStringLiteral("Kp");
        }
        if (f.kpHistory) {
            s.kpHistory = *f.kpHistory;
            // The latest interval stands in for a missing current Kp; the
            // feed is still named as failed.
            if (!f.kpNow && !s.kpHistory.isEmpty()) {
                s.kpNow = s.kpHistory.last().kp;
                s.kpNowTime = s.kpHistory.last().time;
            }
        }
        if (f.flux) {
            s.solarFlux = f.flux->flux;
            s.solarFluxTime = f.flux->time;
        } else {
            s.errors << QStringLiteral("solar flux");
        }
        if (f.mag) {
            s.bt = f.mag->bt;
            s.bz = f.mag->bz;
        }
        if (f.wind)
            s.windSpeed = *f.wind;
        if (f.sunspots) {
            s.sunspotNumber = f.sunspots->ssn;
            s.sunspotTime = f.sunspots->time;
        } else {
            s.errors << QStringLiteral("sunspots");
        }
    };
}

void SpaceWeatherClient::fetchGFZ(std::function<void(SpaceWeatherSnapshot)> done)
{
    struct Feeds {
        std::optional<AuroraGrid> aurora;
        std::optional<GFZ::Value> kp, ap, sunspots, flux;
    };
    auto* job = new FetchJob(this, std::move(done));
    auto feeds = std::make_shared<Feeds>();

    // The aurora alone first, then the four indices at once.
    load<AuroraGrid>(job, SWPCEndpoint::ovationAurora(), &SWPCParser::aurora,
                     [this, job, feeds, first = job->into(feeds->aurora)](auto grid) {
                         const auto ask = [this, job](GFZ::Index index, int days, std::optional<GFZ::Value>& slot) {
                             load(
                                 job, GFZ::url(index, days, QDateTime::currentDateTimeUtc()),
                                 [index](const QByteArray& body) { return GFZ::latest(body, index); }, job->into(slot));
                         };
                         ask(GFZ::Index::kp, 4, feeds->kp);
                         ask(GFZ::Index::ap, 6, feeds->ap);
                         ask(GFZ::Index::sunspots, 10, feeds->sunspots);
                         ask(GFZ::Index::flux, 10, feeds->flux);
                         first(std::move(grid));
                     });

    job->assemble = [feeds](SpaceWeatherSnapshot& s) {
        const Feeds& f = *feeds;
        s.indexSource = IndexSource::gfz;
        if (f.aurora)
            s.aurora = f.aurora;
        else
            s.errors << QStringLiteral("aurora");
        if (f.kp) {
            s.kpNow = f.kp->value;
            s.kpNowTime = f.kp->time;
        } else {
            s.errors << QStringLiteral("Kp (GFZ)");
        }
        if (f.ap) {
            s.aIndexValue = f.ap->value;
            s.aIndexTime = f.ap->time;
        } else
            s.errors << QStringLiteral("Ap (GFZ)");
        if (f.sunspots) {
            s.sunspotNumber = f.sunspots->value;
            s.sunspotTime = f.sunspots->time;
        } else {
            s.errors << QStringLiteral("sunspots (GFZ)");
        }
        if (f.flux) {
            s.solarFlux = f.flux->value;
            s.solarFluxTime = f.flux->time;
        } else {
            s.errors << QStringLiteral("solar flux (GFZ)");
        }
    };
}

void SpaceWeatherClient::fetchIonosondes(std::function<void(std::optional<QList<IonosondeReading>>)> done)
{
    get(Zelq::stationsURL(), [this, done = std::move(done)](Body body) mutable {
        if (!body) {
            done(std::nullopt);
            return;
        }
        const QDateTime now = QDateTime::currentDateTimeUtc();
        parseAway<QList<IonosondeReading>>(
            this, std::move(*body), [now](const QByteArray& data) { return Zelq::parseStations(data, now); },
            std::move(done));
    });
}
