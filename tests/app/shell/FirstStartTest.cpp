// The install report against a local site: it is sent once per
// installation, tried on at most three launches, and a launch that cannot
// finish its attempt still counts it.
#include "kit/AppLog.h"
#include "maintenance/FirstStartState.h"
#include "shell/FirstStart.h"
#include "support/HttpPeer.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr const char* path = "/corvanta-hit.php";

class FirstStartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.listen());
        setenv("CORVANTA_MAKER_BASE", peer.base().toUtf8().constData(), 1);
    }
    void TearDown() override { unsetenv("CORVANTA_MAKER_BASE"); }

    QString stateFile() const { return dir.path() + "/Corvanta/first-start.json"; }
    FirstStartState state() const { return FirstStartState::read(stateFile()); }

    // One launch's attempt, run to its end.
    bool launch(int timeoutMs = 15000)
    {
        FirstStart report;
        report.setStateFile(stateFile());
        report.setTimeout(timeoutMs);
        bool finished = false;
        QObject::connect(&report, &FirstStart::finished, [&] { finished = true; });
        report.send("0.9.0");
        return waitUntil([&] { return finished; });
    }

    QTemporaryDir dir;
    HttpPeer peer;
};

} // namespace

TEST_F(FirstStartTest, AFirstLaunchReportsOnceAndLaterLaunchesStayQuiet)
{
    peer.serve(path, 200, "thanks");
    ASSERT_TRUE(launch());
    ASSERT_EQ(peer.count(path), 1);
    EXPECT_TRUE(AppLog::file().tail(1, 1000).contains("Install report sent."));

    const HttpPeer::Request request = peer.requests().first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    const FirstStartState after = state();
    EXPECT_EQ(after.tries, 1);
    EXPECT_TRUE(after.sent);
    EXPECT_EQ(request.body, after.body("0.9.0"));
    EXPECT_EQ(QJsonDocument::fromJson(request.body).object().value("app").toString(), "linux");

    ASSERT_TRUE(launch());
    ASSERT_TRUE(launch());
    EXPECT_EQ(peer.count(path), 1);
    EXPECT_EQ(state(), after);
}

TEST_F(FirstStartTest, ThreeFailedLaunchesEndIt)
{
    // A server error, a site that never answers and one that hangs up: each
    // counts as a try, and the id stays the installation's.
    peer.serve(path, 500, "");
    ASSERT_TRUE(launch());
    const QString id = state().id;
    EXPECT_EQ(state(), (FirstStartState { id, 1, false }));

    HttpPeer::Response silent;
    silent.stall = true;
    peer.serve(path, silent);
    FirstStart report;
    report.setStateFile(stateFile());
    report.setTimeout(300);
    int finished = 0;
    QObject::connect(&report, &FirstStart::finished, [&] { ++finished; });
    report.send("0.9.0");
    // Counted on disk before the answer, which never comes.
    ASSERT_TRUE(waitUntil([&] { return peer.count(path) == 2; }));
    EXPECT_EQ(state(), (FirstStartState { id, 2, false }));
    ASSERT_TRUE(waitUntil([&] { return finished == 1; }));
    EXPECT_EQ(state(), (FirstStartState { id, 2, false }));

    HttpPeer::Response hangUp;
    hangUp.hangUp = true;
    peer.serve(path, hangUp);
    ASSERT_TRUE(launch());
    EXPECT_EQ(state(), (FirstStartState { id, 3, false }));

    // One request per attempt, even where the connection closed unanswered;
    // one log line for each outcome.
    EXPECT_EQ(peer.count(path), 3);
    EXPECT_EQ(AppLog::file().tail(20, 100000).count("Install report failed: "), 3);
    peer.serve(path, 200, "");
    ASSERT_TRUE(launch());
    EXPECT_EQ(peer.count(path), 3);
    EXPECT_EQ(state(), (FirstStartState { id, 3, false }));
}

TEST_F(FirstStartTest, AnAnswerTooLargeIsEndedAsItArrives)
{
    // 100 MB announced, a few bytes sent, then nothing: the attempt ends at
    // the announcement, long before its inactivity limit.
    HttpPeer::Response flood;
    flood.body = "{\"ok\":true}";
    flood.announcedLength = 100 << 20;
    flood.stallAfter = flood.body.size();
    peer.serve(path, flood);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(launch(30000));
    EXPECT_LT(clock.elapsed(), 15000); // however slow the machine
    EXPECT_EQ(state().tries, 1);
}

TEST_F(FirstStartTest, AnUnreadableStateStartsOverAndAnyTwoHundredCounts)
{
    QDir().mkpath(dir.path() + "/Corvanta");
    QFile file(stateFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"id":"old","tries":"2","sent":false})");
    file.close();

    peer.serve(path, 204, "");
    ASSERT_TRUE(launch());
    EXPECT_EQ(peer.count(path), 1);
    const FirstStartState after = state();
    EXPECT_NE(after.id, "old");
    EXPECT_EQ(after.tries, 1);
    EXPECT_TRUE(after.sent);
}

TEST_F(FirstStartTest, TheScheduledAttemptWaitsItsTime)
{
    peer.serve(path, 200, "");
    FirstStart report;
    report.setStateFile(stateFile());
    int finished = 0;
    QObject::connect(&report, &FirstStart::finished, [&] { ++finished; });
    report.schedule(std::chrono::milliseconds(150));
    EXPECT_TRUE(report.isScheduled());
    EXPECT_EQ(peer.count(path), 0);
    EXPECT_FALSE(QFile::exists(stateFile())) << "nothing happens before the time";
    ASSERT_TRUE(waitUntil([&] { return finished == 1; }));
    EXPECT_EQ(peer.count(path), 1);
    EXPECT_FALSE(report.isScheduled());
    EXPECT_TRUE(state().sent);
}
