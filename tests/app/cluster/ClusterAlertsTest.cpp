// Alerts from spots a node sends: what is posted and played, and the call
// that reaches a notification service on a private session bus.
#include "cluster/AlertSound.h"
#include "cluster/DXClusterClient.h"
#include "cluster/Notifier.h"
#include "geo/MapData.h"
#include "support/ClusterNodePeer.h"
#include "support/FastClusterTiming.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

#include <csignal>

namespace {

using namespace std::chrono_literals;

const QDateTime clock0(QDate(2026, 12, 7), QTime(9, 20), Qt::UTC);

struct FakeNotifier : Notifier {
    bool up = true;
    QList<QPair<QString, QString>> posts;
    bool canNotify() override { return up; }
    void post(const QString& title, const QString& body) override
    {
        if (up)
            posts.append({ title, body });
    }
};

struct FakeSound : AlertSound {
    QStringList played;
    bool device = true;
    bool play(const QString& eventId) override
    {
        played.append(eventId);
        return device;
    }
};

// A client logged in to a test node, with the real country file, a
// logbook that has Germany and the United States, and a 50 ms alert batch.
struct Session {
    QTemporaryDir dir;
    Settings settings { dir.filePath("Corvanta.ini") };
    ClusterNodePeer node;
    std::shared_ptr<FakeNotifier> notifier = std::make_shared<FakeNotifier>();
    std::shared_ptr<FakeSound> sound = std::make_shared<FakeSound>();
    std::unique_ptr<DXClusterClient> client;

    explicit Session(std::shared_ptr<Notifier> desktop = {})
    {
        EXPECT_TRUE(node.listen());
        settings.set(SettingKeys::clusterEnabled, true);
        settings.set(SettingKeys::clusterNode, "custom");
        settings.set(SettingKeys::clusterCustomAddress, node.address());
        settings.set(SettingKeys::callsign, "DL1ABC");
        settings.set(SettingKeys::clusterWatchCalls, "K1ABC");
        const QString folder = dir.filePath("Corvanta");
        QDir().mkpath(folder);
        QFile::copy("/usr/share/hamradio-files/cty.dat", folder + "/cty.dat");
        QFile log(folder + "/logbook.json");
        EXPECT_TRUE(log.open(QIODevice::WriteOnly));
        log.write(LogbookQSO::encode({ { "DL1XX", Band::m20, true }, { "W1AW", Band::m40, false } }));
        log.close();

        DXClusterClient::Timing timing = fastClusterTiming();
        timing.alertBatch = 50ms;
        timing.now = [] { return clock0; };
        DXClusterClient::Services services;
        services.supportFolder = folder;
        services.notifier = desktop ? desktop : notifier;
        services.sound = sound;
        services.labels = MapData::prefixes();
        client = std::make_unique<DXClusterClient>(settings, timing, services);
        EXPECT_TRUE(waitUntil([&] { return client->countries().isFullCountryFile(); })); // parsed on the pool
        EXPECT_TRUE(waitUntil([&] { return node.receivedLines(0).size() >= 1; }));
        node.send("Hello DL1ABC\r\n"); // ends the prompt's line
    }

    void send(double kHz, const char* call, const char* comment = "cw")
    {
        node.send(ClusterNodePeer::liveSpot("W3LPL", kHz, call, comment, clock0.time()));
    }
};

} // namespace

TEST(ClusterAlerts, WatchedCallNotifiesOnceAndPlaysCompleteOncePerKey)
{
    Session s;
    s.send(14025, "K1ABC");
    ASSERT_TRUE(waitUntil([&] { return s.notifier->posts.size() == 1; }));
    EXPECT_EQ(s.notifier->posts[0].first, "Watched call on the cluster");
    EXPECT_EQ(s.notifier->posts[0].second, "K1ABC is on 14025.0 CW (spotted by W3LPL)");
    EXPECT_EQ(s.sound->played, QStringList { "complete" });

    // The same call on the same band again: quiet. On another band: a new
    // key, whose notification alone follows.
    s.send(14026, "K1ABC");
    s.send(7025, "K1ABC");
    ASSERT_TRUE(waitUntil([&] { return s.notifier->posts.size() == 2; }));
    EXPECT_EQ(s.notifier->posts[1].second, "K1ABC is on 7025.0 CW (spotted by W3LPL)");
    EXPECT_EQ(s.sound->played, (QStringList { "complete", "complete" }));

    // Three new countries inside one batch, and one already worked: sent
    // at once, so that a slow machine cannot read them in two batches.
    QByteArray four;
    for (const auto& [kHz, call] :
         { std::pair { 14030, "JA1XYZ" }, { 14031, "DL2XYZ" }, { 14032, "VK2ABC" }, { 14033, "ZL1ABC" } })
        four += ClusterNodePeer::liveSpot("W3LPL", kHz, call, "cw", clock0.time());
    s.node.send(four);
    ASSERT_TRUE(waitUntil([&] { return s.notifier->posts.size() == 3; }));
    EXPECT_EQ(s.notifier->posts[2].first, "3 DX alerts");
    EXPECT_EQ(s.notifier->posts[2].second,
              "New country on 20 m: Japan, JA1XYZ 14030.0 CW\n"
              "New country on 20 m: Australia, VK2ABC 14032.0 CW\n"
              "New country on 20 m: New Zealand, ZL1ABC 14033.0 CW");
    EXPECT_EQ(s.sound->played.last(), "message-new-instant");

    // Notifications off: the sound still plays, nothing is posted.
    s.settings.set(SettingKeys::alertNotify, false);
    s.send(14034, "UA9ABC");
    ASSERT_TRUE(waitUntil([&] { return s.sound->played.size() == 4; })); // and the post, if any, with it
    EXPECT_EQ(s.notifier->posts.size(), 3);
    // No notification service: nothing to post, the sound as before.
    s.settings.set(SettingKeys::alertNotify, true);
    s.notifier->up = false;
    s.send(14035, "ZS1ABC");
    ASSERT_TRUE(waitUntil([&] { return s.sound->played.size() == 5; }));
    EXPECT_EQ(s.notifier->posts.size(), 3);

    // Without a sound device the first try fails; none follows until the
    // sound setting changes.
    s.notifier->up = true;
    s.sound->device = false;
    s.send(14036, "PY1ABC");
    ASSERT_TRUE(waitUntil([&] { return s.notifier->posts.size() == 4; }));
    s.send(14037, "CE1ABC");
    ASSERT_TRUE(waitUntil([&] { return s.notifier->posts.size() == 5; }));
    EXPECT_EQ(s.sound->played.size(), 6);
    s.settings.set(SettingKeys::alertSound, true);
    s.send(14038, "OA4ABC");
    ASSERT_TRUE(waitUntil([&] { return s.notifier->posts.size() == 6; }));
    EXPECT_EQ(s.sound->played.size(), 7);
}

TEST(ClusterAlerts, SoundWithoutADeviceIsSilent)
{
    CanberraSound sound;
    sound.play("complete");
    sound.play("message-new-instant");
}

namespace {

// The notification service of a desktop, as far as Notify goes.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<QVariantList> calls;
    QStringList capabilities;

public Q_SLOTS:
    QStringList GetCapabilities() { return capabilities; }

    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout)
    {
        calls.append({ appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout });
        return uint(calls.size());
    }
};

// A session bus of the test's own. It starts no service on demand, unless
// it is given a file to record notifications in: then it starts the fake
// notification service, writing there, when a call first asks for it.
struct PrivateBus {
    QTemporaryDir dir;
    QProcess daemon;
    QString address;

    explicit PrivateBus(const QString& notificationRecord = {})
    {
        const QString services = dir.filePath("services");
        QDir().mkpath(services);
        if (!notificationRecord.isEmpty())
            write(services + "/org.freedesktop.Notifications.service",
                  "[D-BUS Service]\nName=org.freedesktop.Notifications\nExec=" CORVANTA_NOTIFICATION_SERVICE " "
                      + notificationRecord + "\n");
        const QString config = dir.filePath("bus.conf");
        write(config,
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
              "<servicedir>"
                  + services
                  + "</servicedir><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        daemon.start("dbus-daemon", { "--config-file=" + config, "--nofork", "--print-address=1" });
        if (!daemon.waitForStarted(5000))
            return;
        if (!waitUntil([&] { return daemon.canReadLine(); })) {
            ADD_FAILURE() << "dbus-daemon printed no address: " << daemon.readAllStandardError().constData();
            return;
        }
        address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus("service");
        QDBusConnection::disconnectFromBus("application");
        resume();
        daemon.kill();
        daemon.waitForFinished(5000);
    }

    // Stops and continues the daemon, so that nothing on the bus is answered
    // meanwhile.
    void pause() { ::kill(pid_t(daemon.processId()), SIGSTOP); }
    void resume() { ::kill(pid_t(daemon.processId()), SIGCONT); }

    static void write(const QString& path, const QString& text)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }
};

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(ClusterAlerts, NotificationReachesTheDesktopService)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    QDBusConnection application = QDBusConnection::connectToBus(bus.address, "application");
    ASSERT_TRUE(application.isConnected());
    auto desktop = std::make_shared<DesktopNotifier>(application);

    QDBusConnection serviceBus = QDBusConnection::connectToBus(bus.address, "service");
    FakeNotificationService service;
    ASSERT_TRUE(serviceBus.registerObject("/org/freedesktop/Notifications", &service, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serviceBus.registerService("org.freedesktop.Notifications"));

    Session s(desktop);
    s.send(14025, "K1ABC");
    ASSERT_TRUE(waitUntil([&] { return service.calls.size() == 1; }));
    const QVariantList& call = service.calls.front();
    EXPECT_EQ(call[0].toString(), "Corvanta");
    EXPECT_EQ(call[1].toUInt(), 0u);
    EXPECT_EQ(call[2].toString(), "corvanta");
    EXPECT_EQ(call[3].toString(), "Watched call on the cluster");
    EXPECT_EQ(call[4].toString(), "K1ABC is on 14025.0 CW (spotted by W3LPL)");
    EXPECT_TRUE(call[5].toStringList().isEmpty());
    EXPECT_EQ(call[7].toInt(), -1);
    EXPECT_EQ(s.sound->played, QStringList { "complete" });

    // A desktop that reads markup in bodies gets the node's text escaped.
    service.capabilities = QStringList { "body", "body-markup" };
    desktop->post("Watched call on the cluster", "K1<I>X & W3LPL");
    ASSERT_TRUE(waitUntil([&] { return service.calls.size() == 2; }));
    EXPECT_EQ(service.calls[1][4].toString(), "K1&lt;I&gt;X &amp; W3LPL");
}

TEST(ClusterAlerts, NotificationStartsTheServiceTheBusActivatesAndNeverHoldsUpTheWindow)
{
    QTemporaryDir dir;
    const QString record = dir.filePath("notifications.txt");
    PrivateBus bus(record);
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    QDBusConnection application = QDBusConnection::connectToBus(bus.address, "application");
    ASSERT_TRUE(application.isConnected());
    auto desktop = std::make_shared<DesktopNotifier>(application);

    // Nobody owns the service name until the first notification asks for it.
    Session s(desktop);
    s.send(14025, "K1ABC");
    const QByteArray first = "Watched call on the cluster\tK1ABC is on 14025.0 CW (spotted by W3LPL)\n";
    ASSERT_TRUE(waitUntil([&] { return contents(record) == first; }));
    EXPECT_EQ(s.sound->played, QStringList { "complete" });

    // A bus that answers nothing holds up nothing: posting returns at once,
    // and the notification follows when the bus answers again.
    bus.pause();
    QElapsedTimer posting;
    posting.start();
    desktop->post("Watched call on the cluster", "K1ABC is on 7025.0 CW (spotted by W3LPL)");
    EXPECT_LT(posting.elapsed(), 1000); // sooner than a query waiting for the bus would give up
    bus.resume();
    ASSERT_TRUE(waitUntil([&] {
        return contents(record) == first + "Watched call on the cluster\tK1ABC is on 7025.0 CW (spotted by W3LPL)\n";
    }));
}

#include "ClusterAlertsTest.moc"
