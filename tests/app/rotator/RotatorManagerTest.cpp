#include "rotator/RotatorManager.h"

#include "geo/GeoMath.h"
#include "kit/AppLog.h"
#include "map/MapInput.h"
#include "map/MapViewportModel.h"
#include "rotator/SerialLink.h"
#include "support/FakeRotatorController.h"
#include "support/FastRotatorTimings.h"
#include "support/LoopbackListener.h"
#include "support/RotctldPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <thread>

using Dialect = FakeRotatorController::Dialect;
using Answers = FakeRotatorController::Answers;

namespace {

RotatorConfig rotator(const QString& name, RotatorProtocol proto, const QString& port, bool softStart = false)
{
    RotatorConfig config;
    config.name = name;
    config.proto = proto;
    config.port = port;
    config.softStart = softStart;
    return config;
}

// A settings file of its own and the manager that follows it.
struct Station {
    QTemporaryDir dir;
    Settings settings { dir.filePath("settings.ini") };
    std::unique_ptr<RotatorManager> rotors;

    explicit Station(const QList<RotatorConfig>& list, const RotatorTimings& timings = fastRotatorTimings())
    {
        RotatorConfig::save(settings, list);
        rotors = std::make_unique<RotatorManager>(settings, timings);
    }

    RotatorManager::Status status(const QUuid& id) const
    {
        return rotors->status(id).value_or(RotatorManager::Status {});
    }
    bool connectedAt(const QUuid& id, double heading) const
    {
        const auto s = rotors->status(id);
        return s && s->connected && s->heading && std::abs(*s->heading - heading) < 0.5;
    }
};

// What the log says about one rotator, without the time stamps.
QStringList logOf(const QString& name)
{
    AppLog::file().flush();
    QFile file(AppLog::file().path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    const QString prefix = "Rotator " + name + ": ";
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
        if (line.mid(21).startsWith(prefix))
            lines.append(line.mid(21 + prefix.size()));
    }
    return lines;
}

// Prosistel commands begin with STX.
const QByteArray stx("\x02");

// The commands after the first `from`, position queries left out.
QList<QByteArray> commandsAfter(const FakeRotatorController& fake, qsizetype from = 0)
{
    QList<QByteArray> commands;
    for (const QByteArray& command : fake.commands().mid(from)) {
        if (command != "C" && command != stx + "A?")
            commands.append(command);
    }
    return commands;
}

qsizetype queries(const FakeRotatorController& fake) { return fake.commands().count("C"); }

// Counts the reports a manager's workers send it, one after each pass or
// failed attempt, even when nothing changed: each arrives as a queued call.
struct Reports : QObject {
    int count = 0;
    explicit Reports(RotatorManager& rotors) { rotors.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override { return (count += event->type() == QEvent::MetaCall, false); }
    // Waits until `more` reports have come after those so far.
    bool waitFor(int more) { return waitUntil([&, until = count + more] { return count >= until; }); }
};

const QString waiting = QString::fromUtf8("Waiting for the controller to answer\u2026");

} // namespace

TEST(RotatorManager, TurnsStopsAndArrivesAcrossNorthWithoutSoftStart)
{
    struct Case {
        Dialect dialect;
        RotatorProtocol proto;
        bool softStart; // Prosistel ignores it: its ramp is in the controller
        QByteArray move270, move1, move180, stop;
    };
    const Case cases[] = {
        { Dialect::GS232A, RotatorProtocol::gs232a, false, "M270", "M001", "M180", "S" },
        { Dialect::Prosistel, RotatorProtocol::prosistel, true, stx + "AG270", stx + "AG1", stx + "AG180",
          stx + "AG997" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.dialect));
        FakeRotatorController fake(c.dialect);
        fake.setAzimuth(10);
        fake.setDegreesPerSecond(400);
        const QString name = "Mast " + QString::number(int(c.dialect));
        const RotatorConfig config = rotator(name, c.proto, fake.portPath(), c.softStart);
        Station station({ config });
        RotatorManager& rotors = *station.rotors;
        EXPECT_EQ(station.status(config.id).message, "Not connected");
        ASSERT_TRUE(waitUntil([&] { return station.connectedAt(config.id, 10); }));
        EXPECT_EQ(station.status(config.id).message, "Connected");

        // Any bearing is reduced to 0...360 but logged as given.
        rotors.turn(config.id, -90);
        ASSERT_TRUE(
            waitUntil([&] { return station.connectedAt(config.id, 270) && !station.status(config.id).target; }));

        // 359 is within two degrees of 1, across north: arrived at once.
        fake.setDegreesPerSecond(0);
        fake.setAzimuth(359);
        ASSERT_TRUE(waitUntil([&] { return station.connectedAt(config.id, 359); }));
        rotors.turn(config.id, 1);
        ASSERT_TRUE(waitUntil([&] { return fake.target() == 1.0; }));
        ASSERT_TRUE(waitUntil([&] { return !station.status(config.id).target; }));
        EXPECT_TRUE(station.connectedAt(config.id, 359));

        // A stop goes out alone: no speed command before it.
        fake.setDegreesPerSecond(20);
        rotors.turn(config.id, 180);
        ASSERT_TRUE(waitUntil([&] { return station.status(config.id).target == 180.0 && fake.isTurning(); }));
        rotors.stopAll();
        ASSERT_TRUE(waitUntil([&] { return !fake.target() && !station.status(config.id).target; }));
        EXPECT_EQ(commandsAfter(fake), (QList<QByteArray> { c.move270, c.move1, c.move180, c.stop }));
        EXPECT_EQ(logOf(name),
                  QStringList({ waiting, "connected", QString::fromUtf8("turn to -90\u00B0"),
                                QString::fromUtf8("turn to 1\u00B0"), QString::fromUtf8("turn to 180\u00B0") }));
    }
}

TEST(RotatorManager, SoftStartRampsUpAndDownAndSlowsDownBeforeAStop)
{
    FakeRotatorController fake(Dialect::GS232B);
    fake.setDegreesPerSecond(40); // 10, 20, 30 and 40 degrees a second at levels 1 to 4
    const RotatorConfig config = rotator("Ramp Mast", RotatorProtocol::gs232b, fake.portPath(), true);
    RotatorTimings timings = fastRotatorTimings();
    timings.rampClockRate = 4; // full speed after 1.125 s instead of 4.5 s
    Station station({ config }, timings);
    ASSERT_TRUE(waitUntil([&] { return station.connectedAt(config.id, 0); }));

    // A turn of 100 degrees: slow at the start, each level once on the way
    // up, down again over the last 35 degrees, arrived within two.
    station.rotors->turn(config.id, 100);
    ASSERT_TRUE(waitUntil([&] { return station.status(config.id).target == 100.0; }));
    ASSERT_TRUE(waitUntil([&] { return !station.status(config.id).target; }));
    EXPECT_GE(*station.status(config.id).heading, 98.0);
    EXPECT_EQ(commandsAfter(fake), (QList<QByteArray> { "X1", "M100", "X2", "X3", "X4", "X3", "X2", "X1" }));

    // A stop while turning: speed 1, a pause, then the stop.
    fake.setDegreesPerSecond(8);
    station.rotors->turn(config.id, 300);
    ASSERT_TRUE(waitUntil([&] { return station.status(config.id).target && fake.isTurning(); }));
    const qsizetype mark = fake.commands().size();
    QElapsedTimer clock;
    clock.start();
    station.rotors->stop(config.id);
    ASSERT_TRUE(waitUntil([&] { return commandsAfter(fake, mark).contains("S"); }));
    EXPECT_GE(clock.elapsed(), 300);
    // (A speed step of the ramp may have gone out just before the stop.)
    const QList<QByteArray> afterStop = commandsAfter(fake, mark);
    EXPECT_EQ(afterStop.mid(afterStop.size() - 2), (QList<QByteArray> { "X1", "S" }));
    ASSERT_TRUE(waitUntil([&] { return !station.status(config.id).target; }));
    EXPECT_FALSE(fake.isTurning());
}

TEST(RotatorManager, TheLatestTurnWinsAndOnlyKnownRotatorsAreLogged)
{
    FakeRotatorController fake(Dialect::GS232B);
    fake.setDegreesPerSecond(0);
    const RotatorConfig config = rotator("Log Mast", RotatorProtocol::gs232b, fake.portPath());
    Station station({ config });
    ASSERT_TRUE(waitUntil([&] { return station.connectedAt(config.id, 0); }));

    station.rotors->turn(QUuid::createUuid(), 10); // no such rotator: nothing at all
    station.rotors->turn(config.id, std::nan("")); // no bearing: nothing at all

    // While the worker waits for a late answer, two turns come in; only the
    // second reaches the controller.
    fake.setAnswerDelay(0.25);
    const qsizetype asked = queries(fake);
    ASSERT_TRUE(waitUntil([&] { return queries(fake) > asked; }));
    station.rotors->turn(config.id, -90);
    station.rotors->turn(config.id, 725.4);
    ASSERT_TRUE(waitUntil([&] { return fake.target() == 5.0; }));
    EXPECT_EQ(commandsAfter(fake), QList<QByteArray> { "M005" });
    EXPECT_EQ(logOf("Log Mast"),
              QStringList({ waiting, "connected", QString::fromUtf8("turn to -90\u00B0"),
                            QString::fromUtf8("turn to 725\u00B0") }));
}

TEST(RotatorManager, ASerialControllerThatFallsSilentIsShownOnTheThirdMissAndComesBack)
{
    FakeRotatorController fake(Dialect::GS232B);
    fake.setAzimuth(42);
    const RotatorConfig config = rotator("Quiet Mast", RotatorProtocol::gs232b, fake.portPath());
    Station station({ config });
    ASSERT_TRUE(waitUntil([&] { return station.connectedAt(config.id, 42); }));

    const qsizetype before = queries(fake);
    fake.setAnswers(Answers::Silent);
    ASSERT_TRUE(waitUntil([&] { return !station.status(config.id).connected; }));
    // Two misses pass unseen; the third is shown. The heading stays.
    EXPECT_GE(queries(fake) - before, 3);
    EXPECT_EQ(station.status(config.id).message, "The rotator controller doesn't answer");
    EXPECT_EQ(station.status(config.id).heading, 42.0);

    // The port stays open and is polled on; the message is logged once.
    const qsizetype silent = queries(fake);
    ASSERT_TRUE(waitUntil([&] { return queries(fake) >= silent + 3; }));
    fake.setAnswers(Answers::Normal);
    ASSERT_TRUE(waitUntil([&] { return station.status(config.id).connected; }));
    EXPECT_EQ(logOf("Quiet Mast"),
              QStringList({ waiting, "connected", "The rotator controller doesn't answer", "connected" }));
}

TEST(RotatorManager, RotctldTurnsStopsAndIsReconnectedWhenTheDaemonComesBack)
{
    auto daemon = std::make_unique<RotctldPeer>();
    ASSERT_TRUE(daemon->isRunning()) << "rotctld (Debian libhamlib-utils) is needed";
    const int port = daemon->port();
    RotatorConfig config = rotator("Net Mast", RotatorProtocol::rotctld, {}, true);
    config.host = "127.0.0.1";
    config.tcpPort = port;
    Station station({ config });
    Reports reports(*station.rotors);
    ASSERT_TRUE(waitUntil([&] { return station.connectedAt(config.id, 0); }));

    // The dummy rotator turns at about 6 degrees a second.
    station.rotors->turn(config.id, 6);
    ASSERT_TRUE(waitUntil([&] { return station.status(config.id).target == 6.0; }));
    ASSERT_TRUE(waitUntil([&] { return !station.status(config.id).target; }));
    EXPECT_GE(*station.status(config.id).heading, 4.0);

    station.rotors->turn(config.id, 90);
    ASSERT_TRUE(waitUntil([&] { return *station.status(config.id).heading > 8; }));
    station.rotors->stopAll();
    ASSERT_TRUE(waitUntil([&] { return !station.status(config.id).target; }));
    const double stoppedAt = *station.status(config.id).heading;
    // Read four times more, at least 0.15 s apart: a turning rotator would have moved 3.6 degrees.
    ASSERT_TRUE(reports.waitFor(4));
    EXPECT_LT(*station.status(config.id).heading, stoppedAt + 1.5); // it really stopped

    // The daemon goes away and comes back on the same port.
    daemon.reset();
    ASSERT_TRUE(waitUntil([&] { return !station.status(config.id).connected; }));
    const QString refused = "Can't connect to rotctld at 127.0.0.1:" + QString::number(port);
    ASSERT_TRUE(waitUntil([&] { return station.status(config.id).message == refused; }));
    ASSERT_TRUE(reports.waitFor(2)); // two more failed attempts
    daemon = std::make_unique<RotctldPeer>(port);
    ASSERT_TRUE(daemon->isRunning());
    ASSERT_TRUE(waitUntil([&] { return station.connectedAt(config.id, 0); }));
    EXPECT_EQ(logOf("Net Mast"),
              QStringList({ waiting, "connected", QString::fromUtf8("turn to 6\u00B0"),
                            QString::fromUtf8("turn to 90\u00B0"), "The connection was closed", refused, waiting,
                            "connected" }));
}

TEST(RotatorManager, ARotctldThatStopsAnsweringIsReconnectedAfterTheThirdMiss)
{
    // A stand-in daemon that answers while told to and counts connections.
    int port = 0;
    const int listener = listenOnLoopback(4, port);
    ASSERT_GE(listener, 0);
    std::atomic<bool> answering { true };
    std::atomic<bool> quit { false };
    std::atomic<int> accepted { 0 };
    std::thread daemon([&] {
        std::vector<int> peers;
        while (!quit) {
            std::vector<pollfd> fds { { listener, POLLIN, 0 } };
            for (int peer : peers)
                fds.push_back({ peer, POLLIN, 0 });
            ::poll(fds.data(), fds.size(), 10);
            if (fds[0].revents & POLLIN) {
                peers.push_back(::accept(listener, nullptr, nullptr));
                ++accepted;
            }
            for (size_t i = 1; i < fds.size(); ++i) {
                char chunk[256];
                if (!(fds[i].revents & (POLLIN | POLLHUP)))
                    continue;
                if (::recv(fds[i].fd, chunk, sizeof chunk, 0) <= 0) {
                    ::close(fds[i].fd);
                    std::erase(peers, fds[i].fd);
                } else if (answering) {
                    ::send(fds[i].fd, "12.000000\n0.000000\n", 19, MSG_NOSIGNAL);
                }
            }
        }
        for (int peer : peers)
            ::close(peer);
    });

    RotatorConfig config = rotator("Mute Mast", RotatorProtocol::rotctld, {});
    config.host = "127.0.0.1";
    config.tcpPort = port;
    {
        Station station({ config });
        EXPECT_TRUE(waitUntil([&] { return station.connectedAt(config.id, 12); }));
        answering = false;
        EXPECT_TRUE(waitUntil([&] { return !station.status(config.id).connected; }));
        EXPECT_EQ(station.status(config.id).message, "The rotator controller doesn't answer");
        // Unlike a serial port, the connection is given up and made anew.
        EXPECT_TRUE(waitUntil([&] { return accepted == 2; }));
        answering = true;
        EXPECT_TRUE(waitUntil([&] { return station.status(config.id).connected; }));
    }
    quit = true;
    daemon.join();
    ::close(listener);
    EXPECT_EQ(logOf("Mute Mast"),
              QStringList({ waiting, "connected", "The rotator controller doesn't answer", waiting, "connected" }));
}

TEST(RotatorManager, RestartsExactlyTheRotatorsWhoseConfigurationChanged)
{
    FakeRotatorController towerFake(Dialect::GS232B);
    FakeRotatorController mastFake(Dialect::GS232B);
    towerFake.setDegreesPerSecond(2);
    RotatorConfig tower = rotator("Edit Tower", RotatorProtocol::gs232b, towerFake.portPath());
    RotatorConfig mast = rotator("Edit Mast", RotatorProtocol::gs232b, mastFake.portPath());
    Station station({ tower, mast });
    RotatorManager& rotors = *station.rotors;
    int listChanges = 0;
    QList<QUuid> statusChanges;
    QObject::connect(&rotors, &RotatorManager::rotatorsChanged, [&] { ++listChanges; });
    QObject::connect(&rotors, &RotatorManager::statusChanged, [&](const QUuid& id) { statusChanges.append(id); });
    ASSERT_TRUE(waitUntil([&] { return station.connectedAt(tower.id, 0) && station.connectedAt(mast.id, 0); }));
    rotors.turn(tower.id, 90);
    ASSERT_TRUE(waitUntil([&] { return station.status(tower.id).target == 90.0 && towerFake.isTurning(); }));

    // An unrelated setting leaves every worker as it is (the manager follows
    // the settings as they change, restarting a worker at once).
    station.settings.set(SettingKeys::mapStyle, "political");
    EXPECT_EQ(station.status(tower.id).target, 90.0);
    EXPECT_EQ(listChanges, 0);

    // Only the colour of the turning rotator changes: its worker starts
    // afresh (from "Not connected", without heading or target), the other
    // runs on, and the controller is told nothing, so it keeps turning.
    // The edit comes while the old worker waits for an answer and still
    // holds the port: the new one waits for it instead of finding the port
    // "in use".
    towerFake.setAnswerDelay(0.2);
    const qsizetype asked = queries(towerFake);
    ASSERT_TRUE(waitUntil([&] { return queries(towerFake) > asked; }));
    const qsizetype mark = towerFake.commands().size();
    tower.color = "#FF0000FF";
    RotatorConfig::save(station.settings, { tower, mast });
    EXPECT_EQ(listChanges, 1);
    EXPECT_EQ(rotors.rotators(), (QList<RotatorConfig> { tower, mast }));
    EXPECT_EQ(station.status(tower.id), RotatorManager::Status {});
    EXPECT_TRUE(station.status(mast.id).connected);
    ASSERT_TRUE(waitUntil([&] { return station.status(tower.id).connected; }));
    EXPECT_FALSE(station.status(tower.id).target);
    EXPECT_TRUE(commandsAfter(towerFake, mark).isEmpty());
    EXPECT_TRUE(towerFake.isTurning());
    EXPECT_EQ(logOf("Edit Tower"),
              QStringList({ waiting, "connected", QString::fromUtf8("turn to 90\u00B0"), waiting, "connected" }));
    EXPECT_EQ(logOf("Edit Mast"), QStringList({ waiting, "connected" }));

    // A removed rotator loses its worker and its status, and its port is
    // free again.
    statusChanges.clear();
    RotatorConfig::save(station.settings, { tower });
    EXPECT_FALSE(rotors.status(mast.id));
    EXPECT_EQ(statusChanges, QList<QUuid> { mast.id });
    EXPECT_TRUE(waitUntil([&] { return SerialLink::open(mastFake.portPath(), 9600).has_value(); }));

    // A list that does not read counts as empty.
    station.settings.set(SettingKeys::rotators, "[{\"baud\": \"fast\"}]");
    EXPECT_TRUE(rotors.rotators().isEmpty());
    EXPECT_TRUE(rotors.status().isEmpty());
}

TEST(RotatorManager, ABurstOfEditsReopensThePortOnlyOnceEveryEarlierWorkerHasLetGo)
{
    // A controller that never answers keeps each worker in a long read,
    // holding the port. A name typed letter by letter restarts the worker
    // three times in a row: the newest one must wait for all of them, not
    // only for the one just before it, which gives up its own wait as soon
    // as it is cancelled.
    FakeRotatorController fake(Dialect::GS232B);
    fake.setAnswers(Answers::Silent);
    RotatorTimings slowReads = fastRotatorTimings();
    slowReads.readTimeout = 2.0;
    RotatorConfig config = rotator("Burst", RotatorProtocol::gs232b, fake.portPath());
    Station station({ config }, slowReads);
    ASSERT_TRUE(waitUntil([&] { return station.status(config.id).message == waiting; }));
    ASSERT_TRUE(fake.waitForCommands(1, 30)); // in its read now
    for (const char* name : { "Burst M", "Burst Ma", "Burst Mas" }) {
        config.name = name;
        RotatorConfig::save(station.settings, { config });
    }
    ASSERT_TRUE(waitUntil([&] { return station.status(config.id).message == waiting; }));
    ASSERT_TRUE(waitUntil([&] { return fake.commands().size() > 1; })); // the newest worker's, on the port it opened
    EXPECT_EQ(logOf("Burst Mas"), QStringList { waiting });
}

TEST(RotatorManager, QuitTellsTheControllersNothingAndLeavesNoThreadBehind)
{
    auto threads = [] { return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(); };
    AppLog::file().flush(); // the log's own thread exists before we count
    FakeRotatorController fake(Dialect::GS232B);
    fake.setDegreesPerSecond(1);
    const RotatorConfig turning = rotator("Quit Mast", RotatorProtocol::gs232b, fake.portPath());
    const RotatorConfig unset = rotator("Unset Mast", RotatorProtocol::gs232a, {});
    RotatorConfig nowhere = rotator("Nowhere Mast", RotatorProtocol::rotctld, {});
    nowhere.host = "127.0.0.1";
    nowhere.tcpPort = RotctldPeer::freePort();
    const qsizetype threadsBefore = threads();
    {
        Station station({ turning, unset, nowhere });
        Reports reports(*station.rotors);
        EXPECT_EQ(threads(), threadsBefore + 3);
        ASSERT_TRUE(waitUntil([&] { return station.connectedAt(turning.id, 0); }));
        station.rotors->turn(turning.id, 200);
        ASSERT_TRUE(waitUntil([&] { return fake.isTurning(); }));
        const QString choose = QString::fromUtf8("Choose the serial port in Settings \u203A Rotators");
        ASSERT_TRUE(waitUntil([&] { return station.status(unset.id).message == choose; }));
        ASSERT_TRUE(waitUntil([&] { return station.status(nowhere.id).message.startsWith("Can't connect"); }));
        // The failing workers report every 0.2 s, the turning one twice as
        // often: of a dozen reports, a few are failed attempts of each.
        ASSERT_TRUE(reports.waitFor(12)); // logged once
        EXPECT_EQ(logOf("Unset Mast"), QStringList { choose });
        station.settings.remove(SettingKeys::rotators); // nothing to follow any more: workers cancelled
        EXPECT_TRUE(station.rotors->rotators().isEmpty());
    }
    // A thread of Qt's pool that some other work started meanwhile ends
    // on its own; a worker left blocked would not.
    EXPECT_TRUE(waitUntil([&] { return threads() == threadsBefore; })) << threads();
    EXPECT_TRUE(fake.isTurning());
    EXPECT_EQ(commandsAfter(fake), QList<QByteArray> { "M200" });
    EXPECT_TRUE(SerialLink::open(fake.portPath(), 9600).has_value());

    // Destroyed while the workers run: the same.
    {
        Station station({ turning, nowhere });
        ASSERT_TRUE(waitUntil([&] { return station.status(turning.id).connected; }));
    }
    EXPECT_TRUE(waitUntil([&] { return threads() == threadsBefore; })) << threads();
    EXPECT_EQ(commandsAfter(fake), QList<QByteArray> { "M200" });
}

TEST(RotatorManager, TheMapsContextMenuTurnsAndStopsTheRotator)
{
    FakeRotatorController fake(Dialect::GS232B);
    fake.setDegreesPerSecond(5);
    const RotatorConfig config = rotator("Map Mast", RotatorProtocol::gs232b, fake.portPath());
    Station station({ config });
    ASSERT_TRUE(waitUntil([&] { return station.connectedAt(config.id, 0); }));

    const QList<PrefixEntity> prefixes;
    MapViewportModel model;
    model.setViewSize(QSizeF(1000, 500));
    model.setFill(true);
    QWidget view;
    view.resize(1000, 500);
    view.show();
    MapInput input(model, station.rotors.get(), prefixes);
    input.attach(&view);

    // The pointer rests over North America; the menu offers both paths.
    const QPoint at = input.projection().point(40, -100).toPoint();
    QMouseEvent move(QEvent::MouseMove, at, view.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
    const MapMenu offered = input.menu(station.rotors->rotators());
    ASSERT_EQ(offered.sections.size(), 1);
    const MapMenu::Turn longPath = offered.sections[0].turns[1];
    ASSERT_GT(longPath.bearing, 360); // handed over unreduced

    // Right click, then the entry picked with the keyboard once the menu is up.
    QStringList shown;
    auto choose = [&](const QString& text) {
        std::function<void()> pick = [&, text] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) {
                QTimer::singleShot(10, pick);
                return;
            }
            shown.clear();
            for (QAction* action : menu->actions()) {
                shown << action->text();
                if (action->text() == text)
                    menu->setActiveAction(action);
            }
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(menu, &enter);
        };
        QTimer::singleShot(0, pick);
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, view.mapToGlobal(at));
        QApplication::sendEvent(&view, &request);
    };

    choose(longPath.text);
    EXPECT_TRUE(shown.contains("Stop all rotators"));
    const int raw = int(std::lround(wrap360(longPath.bearing)));
    ASSERT_TRUE(waitUntil([&] { return fake.target() == double(raw) && fake.isTurning(); }));
    EXPECT_EQ(logOf("Map Mast").mid(2),
              QStringList { "turn to " + QString::asprintf("%.0f", longPath.bearing) + QChar(0x00B0) });

    choose("Stop all rotators");
    ASSERT_TRUE(waitUntil([&] { return !fake.target(); }));
    EXPECT_EQ(commandsAfter(fake), (QList<QByteArray> { "M" + QByteArray::number(raw).rightJustified(3, '0'), "S" }));
}
