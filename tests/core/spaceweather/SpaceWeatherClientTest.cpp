#include "spaceweather/SpaceWeatherClient.h"

#include "spaceweather/SWPCFeeds.h"
#include "support/HttpPeer.h"
#include "support/SpaceWeatherFeeds.h"
#include "support/UtcTime.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThreadPool>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
namespace Feeds = SpaceWeatherFeeds;

namespace {

QByteArray path(const QUrl& url) { return Feeds::path(url); }

HttpPeer::Response late(int delayMs, const QByteArray& body, int status = 200)
{
    HttpPeer::Response response;
    response.status = status;
    response.body = body;
    response.delayMs = delayMs;
    return response;
}

// A client on a local peer that serves every product, with the failure
// hook recording its calls and a short time-out.
struct ClientTest : testing::Test {
    HttpPeer peer;
    std::unique_ptr<SpaceWeatherClient> client;
    QMutex mutex;
    QList<QPair<QString, QString>> failures;

    void SetUp() override
    {
        ASSERT_TRUE(peer.listen());
        setenv("CORVANTA_FEEDS_BASE", qPrintable(peer.base()), 1);
        Feeds::serveAll(peer);
        client = std::make_unique<SpaceWeatherClient>();
        SpaceWeatherClient::setOnFailure([this](const QString& label, const QString& message) {
            QMutexLocker lock(&mutex);
            failures.append({ label, message });
        });
    }

    void TearDown() override
    {
        SpaceWeatherClient::setOnFailure(nullptr);
        client.reset();
        unsetenv("CORVANTA_FEEDS_BASE");
    }

    SpaceWeatherSnapshot fetch(IndexSource source)
    {
        std::optional<SpaceWeatherSnapshot> result;
        client->fetch(source, [&](SpaceWeatherSnapshot s) { result = std::move(s); });
        EXPECT_FALSE(result.has_value()) << "handlers run later, never inside the call";
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result.value_or(SpaceWeatherSnapshot {});
    }

    QList<QPair<QString, QString>> hookCalls()
    {
        QMutexLocker lock(&mutex);
        return failures;
    }

    QString labelOf(const QUrl& url) { return "127.0.0.1" + url.path(); }

    // Answers five of the small feeds after a delay, and any others given.
    void serveLate(int delayMs, QList<QPair<QUrl, QByteArray>> more = {})
    {
        more += { { SWPCEndpoint::kp1Minute(), Feeds::kp1Minute() },
                  { SWPCEndpoint::kp3Hour(), Feeds::kp3HourTable() },
                  { SWPCEndpoint::f107(), Feeds::f107() },
                  { SWPCEndpoint::magSummary(), Feeds::magSummary() },
                  { SWPCEndpoint::windSummary(), Feeds::windSummary() } };
        for (const auto& [url, body] : more)
            peer.serve(path(url), late(delayMs, body));
    }
};

} // namespace

TEST_F(ClientTest, NOAAFetchFillsEveryFieldFromTheRealProductShapes)
{
    const QDateTime before = QDateTime::currentDateTimeUtc();
    const SpaceWeatherSnapshot s = fetch(IndexSource::noaa);

    ASSERT_TRUE(s.aurora.has_value());
    EXPECT_EQ(s.aurora->value(GeoCoordinate { 67, 0 }), 72);
    EXPECT_EQ(s.aurora->observationTime, utc(2026, 8, 18, 11, 50));
    EXPECT_EQ(s.kpNow, 3);
    EXPECT_EQ(s.kpNowTime, utc(2026, 8, 18, 11, 40));
    ASSERT_EQ(s.kpHistory.size(), 3);
    EXPECT_EQ(s.kpHistory.last(), (KpSample { utc(2026, 8, 18, 0), 4.0, 27 }));
    EXPECT_EQ(s.aIndex(), 27);
    EXPECT_EQ(s.solarFlux, 148);
    EXPECT_EQ(s.solarFluxTime, utc(2026, 8, 17, 20));
    EXPECT_EQ(s.bt, 5);
    EXPECT_EQ(s.bz, -2);
    EXPECT_EQ(s.windSpeed, 355.5);
    EXPECT_EQ(s.sunspotNumber, 118);
    EXPECT_EQ(s.sunspotTime, utc(2026, 8, 17, 0));
    EXPECT_TRUE(s.errors.isEmpty()) << s.errors.join(", ").toStdString();
    EXPECT_EQ(s.indexSource, IndexSource::noaa);
    EXPECT_FALSE(s.aIndexValue.has_value());
    EXPECT_TRUE(s.ionosondes.isEmpty());
    ASSERT_TRUE(s.fetchedAt.has_value());
    EXPECT_GE(*s.fetchedAt, before);
    EXPECT_TRUE(hookCalls().isEmpty());

    // Seven requests, no second choices, each a plain GET naming the program.
    const QList<HttpPeer::Request> requests = peer.requests();
    ASSERT_EQ(requests.size(), 7);
    for (const HttpPeer::Request& request : requests) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.headers.value("user-agent"), "Corvanta/0.9 (Linux)");
    }
    EXPECT_EQ(peer.count(path(SWPCEndpoint::f107Summary())), 0);
    EXPECT_EQ(peer.count(path(SWPCEndpoint::sunspotsMonthly())), 0);
}

TEST_F(ClientTest, ImpossibleValuesCountAsMissingAndTheEarlierOrSecondChoiceServes)
{
    // Values no Sun gives, in the products' own shapes.
    peer.serve(path(SWPCEndpoint::ovationAurora()), 200,
               R"({"Observation Time": "2026-08-18T11:50:00Z", "coordinates": [[0, 67, 1e308], [10, 67, 50],
                   [20, 67, 130], [30, 67, -3]]})");
    peer.serve(path(SWPCEndpoint::kp1Minute()), 200,
               R"([{"time_tag": "2026-08-18T11:39:00", "kp_index": 3, "estimated_kp": 3.33},
                   {"time_tag": "2026-08-18T11:40:00", "kp_index": 1e308, "estimated_kp": "1e308"}])");
    peer.serve(path(SWPCEndpoint::kp3Hour()), 200,
               R"([{"time_tag": "2026-08-18T00:00:00", "Kp": 4.0, "a_running": 1e308},
                   {"time_tag": "2026-08-18T03:00:00", "Kp": 12, "a_running": 27}])");
    peer.serve(path(SWPCEndpoint::f107()), 200, R"([{"time_tag": "2026-08-17T20:00:00", "flux": 1e308}])");
    peer.serve(path(SWPCEndpoint::magSummary()), 200, R"({"Bt": 1e308, "Bz": -900})");
    peer.serve(path(SWPCEndpoint::windSummary()), 200, R"({"WindSpeed": 1000000})");
    peer.serve(path(SWPCEndpoint::sunspotsDaily()), 200, R"([{"Obsdate": "2026-08-17T00:00:00", "swpc_ssn": 5000}])");

    const SpaceWeatherSnapshot s = fetch(IndexSource::noaa);
    ASSERT_TRUE(s.aurora.has_value());
    EXPECT_EQ(s.aurora->value(GeoCoordinate { 67, 0 }), 0);
    EXPECT_EQ(s.aurora->value(GeoCoordinate { 67, 10 }), 50);
    EXPECT_EQ(s.aurora->value(GeoCoordinate { 67, 20 }), 0);
    EXPECT_EQ(s.kpNow, 3.33);
    EXPECT_EQ(s.kpNowTime, utc(2026, 8, 18, 11, 39));
    EXPECT_EQ(s.kpHistory, (QList<KpSample> { { utc(2026, 8, 18, 0), 4.0, std::nullopt } }));
    EXPECT_EQ(s.aIndex(), std::nullopt);
    EXPECT_EQ(s.solarFlux, 150); // the summary, the second choice
    EXPECT_EQ(s.sunspotNumber, 170.2); // the monthly product
    EXPECT_FALSE(s.bt || s.bz || s.windSpeed);
    EXPECT_TRUE(s.errors.isEmpty()) << s.errors.join(", ").toStdString();

    // The GFZ service's newest values impossible: the ones before them.
    peer.serve(path(QUrl(GFZ::base())), 200, R"({
      "datetime": ["2026-08-17T18:00:00Z", "2026-08-17T21:00:00Z"],
      "Kp": [2.0, 1e308], "Ap": [12, 401], "SN": [101, 1001], "Fobs": [139.5, 1e9]})");
    const SpaceWeatherSnapshot g = fetch(IndexSource::gfz);
    EXPECT_EQ(g.kpNow, 2.0);
    EXPECT_EQ(g.kpNowTime, utc(2026, 8, 17, 18));
    EXPECT_EQ(g.aIndexValue, 12);
    EXPECT_EQ(g.sunspotNumber, 101);
    EXPECT_EQ(g.solarFlux, 139.5);
}

TEST_F(ClientTest, FailedFeedsAreNamedInTheFixedOrderWhateverFinishesFirst)
{
    // Every kind of failure, the first feeds of the table answering last.
    peer.serve(path(SWPCEndpoint::ovationAurora()), late(300, "<html>Bad Gateway</html>"));
    peer.serve(path(SWPCEndpoint::kp1Minute()), late(200, "", 503));
    peer.serve(path(SWPCEndpoint::kp3Hour()), late(150, "[]"));
    HttpPeer::Response stall;
    stall.stall = true;
    peer.serve(path(SWPCEndpoint::f107()), stall);
    peer.serve(path(SWPCEndpoint::f107Summary()), 404, "no such product");
    HttpPeer::Response hangUp;
    hangUp.hangUp = true;
    peer.serve(path(SWPCEndpoint::magSummary()), hangUp);
    peer.serve(path(SWPCEndpoint::windSummary()), 200, R"({"WindSpeed": null})");
    peer.serve(path(SWPCEndpoint::sunspotsDaily()), 404, "");
    peer.serve(path(SWPCEndpoint::sunspotsMonthly()), 200, R"([{"ssn": -1}])");
    // An idle time-out that the stalled feed runs out and the late ones,
    // even on a slow machine, do not.
    client = std::make_unique<SpaceWeatherClient>(nullptr, 5s);

    const SpaceWeatherSnapshot s = fetch(IndexSource::noaa);
    EXPECT_EQ(s.errors, (QStringList { "aurora", "Kp", "solar flux", "sunspots" }));
    EXPECT_EQ(s, ([&] {
                  SpaceWeatherSnapshot empty;
                  empty.fetchedAt = s.fetchedAt;
                  empty.errors = s.errors;
                  return empty;
              }()));
    EXPECT_TRUE(s.fetchedAt.has_value());

    // One hook call per failed request; a body the reader refuses is no
    // failed request.
    QList<QPair<QString, QString>> calls = hookCalls();
    std::sort(calls.begin(), calls.end());
    ASSERT_EQ(calls.size(), 5);
    const QHash<QString, QString> messages { calls.cbegin(), calls.cend() };
    EXPECT_EQ(messages.value(labelOf(SWPCEndpoint::kp1Minute())), "HTTP 503");
    EXPECT_EQ(messages.value(labelOf(SWPCEndpoint::f107Summary())), "HTTP 404");
    EXPECT_EQ(messages.value(labelOf(SWPCEndpoint::sunspotsDaily())), "HTTP 404");
    EXPECT_EQ(messages.value(labelOf(SWPCEndpoint::f107())), "No answer from 127.0.0.1 within 5 s.");
    EXPECT_FALSE(messages.value(labelOf(SWPCEndpoint::magSummary())).isEmpty());
    EXPECT_FALSE(messages.contains(labelOf(SWPCEndpoint::ovationAurora())));
}

TEST_F(ClientTest, SecondChoicesAndTheKpHistoryStandInForFailedFeeds)
{
    peer.serve(path(SWPCEndpoint::kp1Minute()), 503, "");
    peer.serve(path(SWPCEndpoint::kp3Hour()), 200, Feeds::kp3HourObjects());
    peer.serve(path(SWPCEndpoint::f107()), 404, "");
    peer.serve(path(SWPCEndpoint::sunspotsDaily()), 200, "garbage");
    peer.serve(path(SWPCEndpoint::magSummary()), 200, R"({"Bt": "6.1"})");

    const SpaceWeatherSnapshot s = fetch(IndexSource::noaa);
    EXPECT_EQ(s.kpNow, 4.0);
    EXPECT_EQ(s.kpNowTime, utc(2026, 8, 18, 0));
    EXPECT_EQ(s.solarFlux, 150);
    EXPECT_EQ(s.solarFluxTime, utc(2026, 8, 18, 20));
    EXPECT_EQ(s.sunspotNumber, 170.2);
    EXPECT_EQ(s.sunspotTime, utc(2024, 5, 1, 0));
    EXPECT_EQ(s.bt, 6.1);
    EXPECT_FALSE(s.bz.has_value());
    // The history stood in for the current Kp; the feed still failed.
    EXPECT_EQ(s.errors, QStringList { "Kp" });
    EXPECT_EQ(peer.count(path(SWPCEndpoint::f107Summary())), 1);
    EXPECT_EQ(peer.count(path(SWPCEndpoint::sunspotsMonthly())), 1);
}

TEST_F(ClientTest, GFZFetchAsksForTheAuroraFirstThenTheFourIndices)
{
    const SpaceWeatherSnapshot s = fetch(IndexSource::gfz);
    EXPECT_EQ(s.indexSource, IndexSource::gfz);
    EXPECT_TRUE(s.aurora.has_value());
    EXPECT_EQ(s.kpNow, 3.333);
    EXPECT_EQ(s.kpNowTime, utc(2026, 8, 17, 21));
    EXPECT_EQ(s.aIndexValue, 18);
    EXPECT_EQ(s.sunspotNumber, 97);
    EXPECT_EQ(s.solarFlux, 148.2);
    EXPECT_TRUE(s.kpHistory.isEmpty());
    EXPECT_FALSE(s.windSpeed || s.bz || s.bt);
    EXPECT_TRUE(s.errors.isEmpty());

    const QList<HttpPeer::Request> requests = peer.requests();
    ASSERT_EQ(requests.size(), 5);
    EXPECT_EQ(requests[0].path, path(SWPCEndpoint::ovationAurora()));
    QMap<QString, qint64> spanDays;
    for (qsizetype i = 1; i < requests.size(); ++i) {
        const QUrlQuery query(QUrl::fromEncoded(requests[i].target));
        const QDateTime start = QDateTime::fromString(query.queryItemValue("start"), Qt::ISODate);
        const QDateTime end = QDateTime::fromString(query.queryItemValue("end"), Qt::ISODate);
        spanDays[query.queryItemValue("index")] = start.daysTo(end);
    }
    EXPECT_EQ(spanDays, (QMap<QString, qint64> { { "Kp", 4 }, { "Ap", 6 }, { "SN", 10 }, { "Fobs", 10 } }));
}

TEST_F(ClientTest, GFZFailuresCarryTheirOwnLabels)
{
    peer.serve(path(SWPCEndpoint::ovationAurora()), 404, "");
    peer.serve(path(QUrl(GFZ::base())), 200, R"({"Kp": [1.5], "Ap": [-1], "SN": "many"})");
    SpaceWeatherSnapshot s = fetch(IndexSource::gfz);
    EXPECT_EQ(s.kpNow, 1.5);
    EXPECT_EQ(s.errors, (QStringList { "aurora", "Ap (GFZ)", "sunspots (GFZ)", "solar flux (GFZ)" }));

    peer.serve(path(QUrl(GFZ::base())), 503, "");
    s = fetch(IndexSource::gfz);
    EXPECT_EQ(s.indexSource, IndexSource::gfz);
    EXPECT_EQ(s.errors, (QStringList { "aurora", "Kp (GFZ)", "Ap (GFZ)", "sunspots (GFZ)", "solar flux (GFZ)" }));
    EXPECT_EQ(hookCalls().size(), 1 + 1 + 4);
}

TEST_F(ClientTest, IonosondesAreAListOrNone)
{
    const auto fetchIonosondes = [this] {
        std::optional<std::optional<QList<IonosondeReading>>> result;
        client->fetchIonosondes([&](std::optional<QList<IonosondeReading>> readings) { result = readings; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result.value_or(std::nullopt);
    };
    const auto readings = fetchIonosondes();
    ASSERT_TRUE(readings.has_value());
    ASSERT_EQ(readings->size(), 2);
    EXPECT_EQ(readings->at(1).code, "JR055");
    EXPECT_EQ(readings->at(1).mufd, 24.3);

    peer.serve(path(Zelq::stationsURL()), 200, "[]");
    EXPECT_EQ(fetchIonosondes(), QList<IonosondeReading> {});
    peer.serve(path(Zelq::stationsURL()), 200, "{\"stations\": []}");
    EXPECT_EQ(fetchIonosondes(), std::nullopt);
    EXPECT_TRUE(hookCalls().isEmpty());
    peer.serve(path(Zelq::stationsURL()), 503, "");
    EXPECT_EQ(fetchIonosondes(), std::nullopt);
    EXPECT_EQ(hookCalls(), (QList<QPair<QString, QString>> { { "127.0.0.1/api/stations.json", "HTTP 503" } }));
}

TEST_F(ClientTest, OversizedBodiesAreRefused)
{
    peer.serve("/big.json", 200, QByteArray(SpaceWeatherClient::maxBodyBytes + 1, ' '));
    std::optional<SpaceWeatherClient::Body> body;
    client->get(QUrl(peer.base() + "/big.json"), [&](SpaceWeatherClient::Body b) { body = std::move(b); });
    ASSERT_TRUE(waitUntil([&] { return body.has_value(); }));
    ASSERT_FALSE(body->has_value());
    const QString larger = "The answer from 127.0.0.1 is larger than 16 MiB.";
    EXPECT_EQ(body->error(), larger);
    EXPECT_EQ(hookCalls(), (QList<QPair<QString, QString>> { { "127.0.0.1/big.json", larger } }));
}

TEST_F(ClientTest, AClientDestroyedMidFetchCallsNothing)
{
    HttpPeer::Response stall;
    stall.stall = true;
    peer.serve(path(SWPCEndpoint::kp1Minute()), stall);
    client = std::make_unique<SpaceWeatherClient>(nullptr, 30s);
    bool called = false;
    client->fetch(IndexSource::noaa, [&](SpaceWeatherSnapshot) { called = true; });
    // Every feed asked, all but the stalled one answered and handed to be read.
    ASSERT_TRUE(waitUntil([&] { return peer.requests().size() == 7; }));
    client.reset();
    // Whatever was still being read or asked for comes back to nobody.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
    EXPECT_TRUE(hookCalls().isEmpty());
}

TEST_F(ClientTest, OneFeedCutMidBodyFailsOnlyThatFeed)
{
    // Every feed goes out at once on a connection of its own; the aurora's
    // is cut in the middle of its body while the others still answer.
    HttpPeer::Response cut;
    cut.body = Feeds::ovationAurora();
    cut.cutAfter = 1000;
    peer.serve(path(SWPCEndpoint::ovationAurora()), cut);
    serveLate(250);
    client = std::make_unique<SpaceWeatherClient>(nullptr, 5s);

    const SpaceWeatherSnapshot s = fetch(IndexSource::noaa);
    EXPECT_EQ(s.errors, QStringList { "aurora" });
    EXPECT_EQ(s.sunspotNumber, 118);
    EXPECT_EQ(s.sunspotTime, utc(2026, 8, 17, 0));
    // The cut one, which had its answer begun, is not asked again.
    EXPECT_EQ(peer.count(path(SWPCEndpoint::sunspotsDaily())), 1);
    EXPECT_EQ(peer.count(path(SWPCEndpoint::sunspotsMonthly())), 0);
    EXPECT_EQ(peer.count(path(SWPCEndpoint::ovationAurora())), 1);
    const QList<QPair<QString, QString>> calls = hookCalls();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].first, labelOf(SWPCEndpoint::ovationAurora()));
}
