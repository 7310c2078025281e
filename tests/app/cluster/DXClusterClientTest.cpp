// The cluster client against a node on 127.0.0.1, with its waits shortened.
#include "cluster/DXClusterClient.h"
#include "kit/AppLog.h"
#include "support/ClusterNodePeer.h"
#include "support/FastClusterTiming.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;

const QString connecting = QString::fromUtf8("Connecting to 127.0.0.1…");
const QString connected = "Connected to 127.0.0.1";

// A client over settings of its own that point at the test node, on a clock
// the test sets. The waits are a hundredth of the real ones unless a test
// says otherwise: login 40 ms, commands 30 ms, reconnect 300 ms, settings
// 8 ms, prune 300 ms; connecting may take 2 s.
struct Session {
    QTemporaryDir dir;
    Settings settings { dir.filePath("Corvanta.ini") };
    ClusterNodePeer node;
    QDateTime clock { QDate(2026, 12, 7), QTime(9, 20), Qt::UTC };
    DXClusterClient::Timing timing = [] {
        DXClusterClient::Timing t = fastClusterTiming();
        return t;
    }();
    std::unique_ptr<DXClusterClient> client;
    QStringList statuses;

    // The node runs on the test's thread, or on one of its own so it can
    // push while the client is busy.
    explicit Session(bool nodeThread = false)
    {
        EXPECT_TRUE(node.listen(nodeThread));
        settings.set(SettingKeys::clusterEnabled, true);
        settings.set(SettingKeys::clusterNode, "custom");
        settings.set(SettingKeys::clusterCustomAddress, node.address());
        settings.set(SettingKeys::callsign, " dl1abc ");
    }

    DXClusterClient& start()
    {
        timing.now = [this] { return clock; };
        client = std::make_unique<DXClusterClient>(settings, timing, DXClusterClient::Services {});
        statuses << client->status().text();
        QObject::connect(client.get(), &DXClusterClient::statusChanged,
                         [this] { statuses << client->status().text(); });
        return *client;
    }

    QString status() const { return client->status().text(); }
    bool waitForStatus(const QString& text)
    {
        return waitUntil([&] { return status() == text; });
    }
    bool waitForLines(int connection, int count)
    {
        return waitUntil([&] { return node.receivedLines(connection).size() >= count; });
    }
    QStringList bookCalls() const
    {
        QStringList calls;
        for (const DXSpot& spot : client->book().spots())
            calls << spot.call;
        return calls;
    }
};

QString logText()
{
    AppLog::file().flush();
    QFile file(AppLog::file().path());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(DXClusterClient, SessionLogsInReadsSpotsAndReconnectsAfterTheNodeCloses)
{
    Session s;
    s.settings.set(SettingKeys::clusterCommands, "set/dx/filter ; sh/wwv\n\nunset/beep");
    s.node.setGreeting(ClusterNodePeer::negotiation() + "\r\nWelcome to TEST-1 DXSpider\r\n\r\nlogin: ");
    s.timing.login = 10s; // only the prompt can log in here
    s.start();
    ASSERT_TRUE(s.waitForStatus(connected));
    EXPECT_EQ(s.statuses, (QStringList { connecting, connected }));

    ASSERT_TRUE(s.waitForLines(0, 5));
    EXPECT_EQ(s.node.receivedLines(0), (QStringList { "DL1ABC", "set/dx/filter", "sh/wwv", "unset/beep", "sh/dx 50" }));
    EXPECT_TRUE(s.node.receivedBytes(0).endsWith("sh/dx 50\r\n"));

    // The listing's spot from before the spot window is recorded but not booked.
    const QDateTime at = s.clock;
    s.node.send("Hello DL1ABC, this is TEST-1\r\n"
                + ClusterNodePeer::historySpot(14074.0, "K1ABC", at.addSecs(-10 * 60), "FT8 -05 dB", "W1XYZ")
                + ClusterNodePeer::historySpot(7018.3, "RW1M", at.addSecs(-30 * 60), "CW 19 dB", "EA5WU-#")
                + ClusterNodePeer::liveSpot("SV1CDN", 21028.0, "UR5EAW", "cw", at.time()) + "\xff\xf1"
                + ClusterNodePeer::liveSpot("W3LPL-#", 14075.2, "JA1XYZ", "FT8 -12 dB", at.time()));
    ASSERT_TRUE(waitUntil([&] { return s.client->book().spots().size() == 3; }));
    EXPECT_EQ(s.bookCalls(), (QStringList { "JA1XYZ", "UR5EAW", "K1ABC" }));
    const QStringList lines = s.client->recentLines();
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines.first(2), (QStringList { "Welcome to TEST-1 DXSpider", "login: Hello DL1ABC, this is TEST-1" }));
    EXPECT_TRUE(lines[3].startsWith("7018.3  RW1M")) << lines[3].toStdString();
    EXPECT_TRUE(lines[5].endsWith("0920Z")) << lines[5].toStdString(); // no bells

    // What the node sends just before it closes is still handled.
    s.node.send(ClusterNodePeer::liveSpot("K1TTT", 50313.0, "JA1ABC", "FT8", at.time()));
    s.node.closeConnections();
    const QString closed = QString::fromUtf8("127.0.0.1 closed the connection · retrying in 30 s");
    ASSERT_TRUE(s.waitForStatus(closed));
    EXPECT_EQ(s.client->book().spots().front().call, "JA1ABC");
    EXPECT_EQ(s.client->recentLines().size(), 7);

    ASSERT_TRUE(s.waitForStatus(connected));
    EXPECT_EQ(s.node.connectionCount(), 2);
    EXPECT_EQ(s.statuses, (QStringList { connecting, connected, closed, connecting, connected }));
    ASSERT_TRUE(s.waitForLines(1, 5));
    EXPECT_EQ(s.node.receivedLines(1).first(), "DL1ABC");

    const QString log = logText();
    EXPECT_TRUE(log.contains(QString::fromUtf8("Z DX cluster: Connecting to 127.0.0.1…\n")));
    EXPECT_TRUE(log.contains("Z DX cluster: Connected to 127.0.0.1\n"));
    EXPECT_TRUE(log.contains("Z DX cluster: " + closed + "\n"));
}

TEST(DXClusterClient, NodeThatNeverAsksGetsTheCallAfterTheLoginWait)
{
    Session s;
    s.node.setGreeting({});
    s.timing.login = 150ms;
    s.start();
    QElapsedTimer sinceUp;
    QObject::connect(s.client.get(), &DXClusterClient::statusChanged, [&] {
        if (s.status() == connected)
            sinceUp.start();
    });
    ASSERT_TRUE(s.waitForLines(0, 2));
    EXPECT_GE(sinceUp.elapsed(), 140);
    EXPECT_EQ(s.node.receivedLines(0), (QStringList { "DL1ABC", "sh/dx 50" }));

    // Questions after the login get no second callsign: none comes once the
    // client has read them.
    s.node.send("Please enter your name and callsign:\r\nEnter your QTH (call):");
    ASSERT_TRUE(waitUntil([&] { return s.client->recentLines().endsWith("Please enter your name and callsign:"); }));
    EXPECT_FALSE(waitUntil([&] { return s.node.receivedLines(0).size() > 2; }, 300)) << s.node.receivedLines(0).last().toStdString();
}

// After a quick reconnect the commands of the old session must not reach
// the new node: one that has not asked for the call yet would take the
// first command for it.
TEST(DXClusterClient, QuickReconnectSendsTheNewNodeNoStaleCommands)
{
    Session s;
    s.settings.set(SettingKeys::clusterCommands, "set/skimmer;set/ft8");
    // The old session's commands are due long after the quick reconnect,
    // however slow the machine.
    s.timing.commands = 2s;
    s.timing.login = 500ms;
    s.start();
    ASSERT_TRUE(s.waitForLines(0, 1)); // the prompt got the callsign at once
    s.node.setGreeting({});
    s.client->reconnect();
    ASSERT_TRUE(s.waitForLines(1, 4)); // a stale command would have come before the new session's
    EXPECT_EQ(s.node.receivedLines(0), QStringList { "DL1ABC" });
    EXPECT_EQ(s.node.receivedLines(1), (QStringList { "DL1ABC", "set/skimmer", "set/ft8", "sh/dx 50" }));
    EXPECT_EQ(s.statuses, (QStringList { connecting, connected, connecting, connected }));
}

TEST(DXClusterClient, RefusedAndSilentNodesAreRetried)
{
    Session s;
    s.timing.connectTimeout = 2s; // far longer than a connection to a local node that answers takes
    s.node.setBehaviour(ClusterNodePeer::Behaviour::refuse);
    s.start();
    const QString refused
        = QString::fromUtf8("Could not reach 127.0.0.1: The node refused the connection. · retrying in 30 s");
    ASSERT_TRUE(s.waitForStatus(refused));

    // The node comes up in the retry wait: the next attempt gets in.
    s.node.setBehaviour(ClusterNodePeer::Behaviour::answer);
    ASSERT_TRUE(s.waitForStatus(connected));

    // A node that never completes the handshake: the connect time-out.
    s.node.setBehaviour(ClusterNodePeer::Behaviour::neverAnswer);
    s.client->reconnect();
    const QString timedOut = QString::fromUtf8("Could not reach 127.0.0.1: No answer came in time. · retrying in 30 s");
    ASSERT_TRUE(s.waitForStatus(timedOut));
    EXPECT_EQ(s.statuses, (QStringList { connecting, refused, connecting, connected, connecting, timedOut }));
    ASSERT_TRUE(s.waitForStatus(connecting));
    ASSERT_TRUE(s.waitForStatus(timedOut));
    EXPECT_EQ(s.node.connectionCount(), 1);
}

TEST(DXClusterClient, SwitchingOffInTheRetryWaitStopsTheRetryAndEmptiesTheBook)
{
    Session s;
    s.start();
    ASSERT_TRUE(s.waitForStatus(connected));
    s.node.send("\r\n" + ClusterNodePeer::liveSpot("W1XYZ", 14025.0, "K1ABC", "cw", s.clock.time()));
    ASSERT_TRUE(waitUntil([&] { return !s.client->book().spots().isEmpty(); }));
    s.node.closeConnections();
    ASSERT_TRUE(s.waitForStatus(QString::fromUtf8("127.0.0.1 closed the connection · retrying in 30 s")));

    s.settings.set(SettingKeys::clusterEnabled, false);
    ASSERT_TRUE(s.waitForStatus("DX cluster is off"));
    EXPECT_TRUE(waitUntil([&] { return s.client->book().spots().isEmpty(); })); // the next prune step
    EXPECT_FALSE(waitUntil([&] { return s.node.connectionCount() > 1; }, 1000));
    EXPECT_EQ(s.status(), "DX cluster is off");
}

TEST(DXClusterClient, SettingsApplyAfterTheLastChangeAndOnlyConnectionSettingsReconnect)
{
    Session s;
    s.timing.settingsDebounce = 250ms;
    s.start();
    ASSERT_TRUE(s.waitForStatus(connected));
    for (const char* call : { "dl2abc", "dl3abc", "dl4abc" }) {
        s.settings.set(SettingKeys::callsign, call);
        waitUntil([] { return false; }, 20);
    }
    s.settings.set(SettingKeys::clusterModeFilter, "cw");
    ASSERT_TRUE(s.waitForLines(1, 1));
    EXPECT_EQ(s.node.receivedLines(1).first(), "DL4ABC");
    EXPECT_FALSE(waitUntil([&] { return s.node.connectionCount() > 2; }, 500));

    s.settings.set(SettingKeys::clusterBands, "20,40");
    s.settings.set(SettingKeys::clusterSpotMinutes, 30);
    EXPECT_FALSE(waitUntil([&] { return s.node.connectionCount() > 2 || s.status() != connected; }, 500));

    s.settings.set(SettingKeys::callsign, " \t");
    ASSERT_TRUE(s.waitForStatus("Enter your callsign in Settings → Station to log in to the cluster"));
    s.settings.set(SettingKeys::callsign, "dl4abc");
    s.settings.set(SettingKeys::clusterCustomAddress, "  ");
    const QString noAddress = "Enter the cluster address in Settings → Cluster";
    ASSERT_TRUE(s.waitForStatus(noAddress));
    // New commands drop and reapply: the same status again, which the log
    // does not repeat. No attempt follows without an address.
    s.settings.set(SettingKeys::clusterCommands, "sh/wwv");
    EXPECT_FALSE(waitUntil([&] { return s.node.connectionCount() > 2 || s.status() != noAddress; }, 500));
    EXPECT_EQ(s.client->config()->extraCommands, "sh/wwv");
    EXPECT_EQ(logText().count("DX cluster: " + noAddress), 1);
}

TEST(DXClusterClient, ReconnectWithoutACallsignOrAnAddressShowsWhatIsMissing)
{
    Session s;
    s.start();
    ASSERT_TRUE(s.waitForStatus(connected));
    ASSERT_TRUE(s.waitForLines(0, 1));

    // The callsign cleared: the node would refuse an empty login and the
    // client would try again every 30 s.
    const QString needsCallsign = "Enter your callsign in Settings → Station to log in to the cluster";
    s.settings.set(SettingKeys::callsign, "");
    ASSERT_TRUE(s.waitForStatus(needsCallsign));
    s.client->reconnect();
    EXPECT_FALSE(waitUntil([&] { return s.node.connectionCount() > 1 || s.status() != needsCallsign; }, 500));

    const QString noAddress = "Enter the cluster address in Settings → Cluster";
    s.settings.set(SettingKeys::callsign, "dl1abc");
    s.settings.set(SettingKeys::clusterCustomAddress, "");
    ASSERT_TRUE(s.waitForStatus(noAddress));
    s.client->reconnect();
    EXPECT_FALSE(waitUntil([&] { return s.node.connectionCount() > 1 || s.status() != noAddress; }, 500));
    EXPECT_EQ(s.node.receivedLines(0), QStringList { "DL1ABC" });
}

// The ingest path without a socket: lines, the node log, the spot window and
// the prune step.
TEST(DXClusterClient, IngestKeepsFortyLinesAndTheSpotsInsideTheWindow)
{
    Session s;
    s.settings.remove(SettingKeys::callsign); // on, but it cannot connect
    DXClusterClient& client = s.start();
    EXPECT_EQ(s.status(), "Enter your callsign in Settings → Station to log in to the cluster");
    int bookSignals = 0;
    QObject::connect(&client, &DXClusterClient::bookChanged, [&] { ++bookSignals; });

    for (int i = 1; i <= 41; ++i)
        client.ingest(QString("line %1\r\n").arg(i).toUtf8());
    EXPECT_EQ(client.recentLines().size(), 40);
    EXPECT_EQ(client.recentLines().first(), "line 2");

    // Characters cut between chunks: UTF-8 is joined, a Latin-1 byte does not
    // swallow the line break after it.
    client.ingest("Gr\xc3\xbc\xc3");
    client.ingest("\x9f"
                  "e aus K\xc3\xb6ln\r\ncaf\xe9");
    client.ingest("\r\nnext\r\n");
    EXPECT_EQ(client.recentLines().last(3),
              (QStringList { QString::fromUtf8("Grüße aus Köln"), QString::fromUtf8("caf\xef\xbf\xbd"), "next" }));
    EXPECT_EQ(bookSignals, 0);

    const QDateTime at = s.clock;
    client.ingest(ClusterNodePeer::historySpot(14074.0, "K1ABC", at.addSecs(-20 * 60), "FT8", "W1XYZ")
                  + ClusterNodePeer::historySpot(14074.0, "K2ABC", at.addSecs(-21 * 60), "FT8", "W1XYZ")
                  + ClusterNodePeer::liveSpot("W1XYZ", 7025.0, "K3ABC", "cw", at.time()));
    EXPECT_EQ(s.bookCalls(), (QStringList { "K3ABC", "K1ABC" })); // the window's edge belongs to it
    EXPECT_EQ(bookSignals, 1);

    s.clock = at.addSecs(60);
    client.prune();
    EXPECT_EQ(s.bookCalls(), QStringList { "K3ABC" });
    EXPECT_EQ(bookSignals, 2);
    client.prune(); // nothing left to drop: no signal
    EXPECT_EQ(bookSignals, 2);
    s.settings.set(SettingKeys::clusterSpotMinutes, 0); // counts as one minute
    s.clock = at.addSecs(59);
    client.prune();
    EXPECT_EQ(bookSignals, 2);
}

TEST(DXClusterClient, ANodePushingFasterThanTheClientReadsIsHeldBackNotBuffered)
{
    Session s(true);
    s.node.setGreeting("");
    s.start();
    ASSERT_TRUE(s.waitForStatus(connected));
    auto* socket = s.client->findChild<QTcpSocket*>();
    ASSERT_NE(socket, nullptr);

    // One line of 32 MB, then a spot: the line splitter hands the line on in
    // pieces; what waits ahead of it stays within the socket's read-ahead.
    const qsizetype lineBytes = 32 * 1024 * 1024;
    s.node.send(QByteArray(lineBytes, 'x') + "\r\n"
                + ClusterNodePeer::liveSpot("W3LPL", 14025, "K1ABC", "cw", s.clock.time()));
    qint64 mostWaiting = 0;
    ASSERT_TRUE(waitUntil([&] {
        mostWaiting = std::max(mostWaiting, socket->bytesAvailable());
        return s.bookCalls() == QStringList { "K1ABC" };
    }));
    EXPECT_LE(mostWaiting, DXClusterClient::maxReadAhead);
    EXPECT_GT(mostWaiting, 0);
    EXPECT_EQ(s.status(), connected);
}
