// The engine runner against the stand-in engine program: what it is given,
// what comes back, and that no run leaves its work folder behind.
#include "prediction/ITUEngine.h"
#include "prediction/EngineRun.h"
#include "prediction/ITUDataFiles.h"
#include "support/FakeEngine.h"
#include "support/HttpPeer.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

const StationSetup setup { 100, StationAntennas(), PredictionMode::cw, NoiseEnvironment::rural };

P533::Request request(double latitude = 40, int month = 6)
{
    return P533::Request({ 54.687, 25.28 }, setup, 3.0, 2026, month, { 0, 13 }, { 14.15, 7.1 }, 120, latitude, latitude,
                         -75, -75, 1, 1);
}

struct Outcome {
    bool done = false;
    ITUEngine::Result result;
};

ITUEngine::Folders foldersOf(const FakeEngine& fake)
{
    return { fake.engineFolder(), fake.dataFolder(), fake.bundledDataFolder(), fake.workParent() };
}

std::shared_ptr<Outcome> runAll(ITUEngine& engine, const QList<P533::Request>& requests)
{
    auto outcome = std::make_shared<Outcome>();
    engine.runAll(requests, [outcome](const ITUEngine::Result& result) {
        EXPECT_FALSE(outcome->done) << "reported twice";
        outcome->done = true;
        outcome->result = result;
    });
    EXPECT_FALSE(outcome->done) << "reported before the call returned";
    return outcome;
}

// Runs one job to its end and gives its error's description, or "" when it
// succeeded.
QString failureOf(ITUEngine& engine, const P533::Request& r = request())
{
    const auto outcome = runAll(engine, { r });
    EXPECT_TRUE(waitUntil([&] { return outcome->done; }));
    return outcome->result ? QString() : outcome->result.error().description();
}

} // namespace

TEST(ITUEngine, RunsTheEngineAndReadsItsReport)
{
    FakeEngine fake;
    ASSERT_TRUE(fake.isValid());
    ITUEngine engine(foldersOf(fake));
    EXPECT_TRUE(engine.available());

    P533::Request longPath = request(40);
    longPath.longPath = true;
    const auto outcome = runAll(engine, { request(40), longPath });
    ASSERT_TRUE(waitUntil([&] { return outcome->done; }));
    ASSERT_TRUE(outcome->result.has_value()) << outcome->result.error().description().toStdString();
    // Two hours, two frequencies, one point, two paths. The stand-in checked
    // its working folder, library path, data file and antenna file.
    const ITUEngine::Rows& rows = *outcome->result;
    ASSERT_EQ(rows.size(), 8);
    QSet<int> hours;
    for (const P533::Row& row : rows) {
        EXPECT_EQ(row.month, 6);
        EXPECT_DOUBLE_EQ(row.latitude, 40);
        EXPECT_DOUBLE_EQ(row.longitude, -75);
        EXPECT_GT(row.reliability, 0.0);
        hours.insert(row.hourUTC);
    }
    EXPECT_EQ(hours, (QSet<int> { 0, 13 }));
    EXPECT_EQ(fake.started(), 2);
    EXPECT_EQ(fake.ended(), 2);
    EXPECT_TRUE(fake.leftoverWorkFolders().isEmpty());

    // Its arguments: "-s", then in.txt and out.txt in a work folder of its own.
    const QStringList starts = fake.log().filter(QRegularExpression("^start "));
    const QRegularExpression form(
        "^start \\d+ " + QRegularExpression::escape(fake.workParent())
        + "/Corvanta-ITU-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}/in\\.txt$");
    ASSERT_EQ(starts.size(), 2);
    EXPECT_TRUE(form.match(starts[0]).hasMatch()) << starts[0].toStdString();
    EXPECT_NE(starts[0].section(' ', 2), starts[1].section(' ', 2));

    // A report without its end marker still gives the rows it holds.
    fake.setControl("report unterminated\n");
    EXPECT_EQ(failureOf(engine), "");

    // No requests: no rows, even without an engine.
    fake.uninstall();
    EXPECT_FALSE(engine.available());
    const auto empty = runAll(engine, {});
    ASSERT_TRUE(waitUntil([&] { return empty->done; }));
    EXPECT_TRUE(empty->result.has_value() && empty->result->isEmpty());
}

TEST(ITUEngine, FailuresSayWhatWentWrongAndLeaveNoWorkFolder)
{
    FakeEngine fake;
    ITUEngine engine(foldersOf(fake));
    const QString failed = "ITU-R P.533 calculation failed: ";

    fake.setControl("report empty\n");
    EXPECT_EQ(failureOf(engine), failed + "exit code 0");

    // A full report does not make up for a bad exit status.
    fake.setControl("exit 1\n");
    EXPECT_EQ(failureOf(engine), failed + "exit code 1");
    fake.setControl("exit 3\nstderr Error: the sky fell\\n\n");
    EXPECT_EQ(failureOf(engine), failed + "Error: the sky fell\n");

    // Standard error: its first 300 characters, never half a character.
    fake.setControl("exit 1\nstderr " + QString(1000, 'e') + "\n");
    EXPECT_EQ(failureOf(engine), failed + QString(300, 'e'));
    const QString wide = QString("e\u0301").repeated(400) + "\U0001F30D"; // combining accents
    fake.setControl("exit 1\nstderr " + wide + "\n");
    EXPECT_EQ(failureOf(engine), failed + QString("e\u0301").repeated(300));

    // The engine's own complaints arrive on standard output: the last 300
    // characters stand in when standard error is empty.
    fake.setControl("exit 1\nstdout Reading data\\n" + QString(400, '.') + "\\nError: no ionospheric data\\n\n");
    EXPECT_EQ(failureOf(engine), failed + QString(273, '.') + "\nError: no ionospheric data");

    // A program that cannot be started: the system's reason.
    QFile program(fake.engineFolder() + "/ITURHFProp");
    ASSERT_TRUE(program.open(QIODevice::WriteOnly | QIODevice::Truncate));
    program.write("not a program");
    program.close();
    const QString notStarted = failureOf(engine);
    EXPECT_FALSE(notStarted.isEmpty());
    EXPECT_FALSE(notStarted.startsWith(failed)) << notStarted.toStdString();

    // No engine: where to put it.
    fake.uninstall();
    EXPECT_EQ(failureOf(engine), ITUEngineError::notInstalledText(fake.engineFolder()));
    EXPECT_TRUE(ITUEngineError::notInstalledText("/opt/x/ITU").contains("/opt/x/ITU"));
    EXPECT_TRUE(ITUEngine::notInstalledText().contains(ITUEngine::engineFolder()));
    EXPECT_TRUE(ITUEngine::notInstalledText().contains("ITURHFProp"));

    EXPECT_TRUE(fake.leftoverWorkFolders().isEmpty()) << fake.leftoverWorkFolders().join(' ').toStdString();
}

TEST(ITUEngine, PathsTheInputFileCannotCarryAreRefused)
{
    FakeEngine fake;
    const QString quoted = fake.workParent() + "/a\"b";
    QDir().mkpath(quoted);
    ITUEngine engine({ fake.engineFolder(), fake.dataFolder(), fake.bundledDataFolder(), quoted });
    const QString failure = failureOf(engine);
    EXPECT_TRUE(failure.startsWith("ITU-R P.533 calculation failed: the path ")) << failure.toStdString();
    EXPECT_TRUE(failure.contains("double quote"));
    // A temporary folder whose path, in UTF-8 (an "é" takes two bytes),
    // makes the antenna file's line overrun the engine's line buffer.
    const QString deep = fake.workParent() + "/" + QString(100, QChar(0xE9));
    QDir().mkpath(deep);
    ITUEngine deepEngine({ fake.engineFolder(), fake.dataFolder(), fake.bundledDataFolder(), deep });
    EXPECT_TRUE(failureOf(deepEngine).contains("/tx.ant is too long for the engine: its line in the input file "));
    EXPECT_EQ(fake.started(), 0);
    EXPECT_TRUE(QDir(quoted).isEmpty());
    EXPECT_TRUE(QDir(deep).isEmpty());
}

TEST(ITUEngine, AHungEngineIsStoppedAtTheLimit)
{
    FakeEngine fake;
    ITUEngine engine(foldersOf(fake));
    EXPECT_EQ(ITUEngine::defaultRunLimit, std::chrono::minutes(10));
    EXPECT_EQ(EngineRun::spanText(ITUEngine::defaultRunLimit), "10 minutes");
    engine.setRunLimit(std::chrono::milliseconds(300));
    fake.setControl("delay_ms 30000\n");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(failureOf(engine),
              "ITU-R P.533 calculation failed: the engine did not finish within 0.3 seconds and was stopped");
    EXPECT_LT(clock.elapsed(), 20000); // not the engine's 30 s, however slow the machine
    // The failure comes once the engine has ended; its run object goes on
    // the next turn of the event loop.
    EXPECT_TRUE(waitUntil([&] { return engine.running() == 0; }));
    EXPECT_TRUE(fake.leftoverWorkFolders().isEmpty());
}

TEST(ITUEngine, AJobReportsItsFirstFailureAfterEveryEngineEnded)
{
    FakeEngine fake;
    ITUEngine engine(foldersOf(fake));
    // The second request fails at once; the others take a while.
    fake.setControl("delay_ms 400\n"
                    "only_if Path.L_rx.lat 20.0000\n"
                    "delay_ms 0\nexit 7\nstderr second\n");
    const QList<P533::Request> requests { request(10), request(20), request(30), request(40) };
    const auto outcome = runAll(engine, requests);
    ASSERT_TRUE(waitUntil([&] { return fake.started() == 4; }));
    ASSERT_TRUE(waitUntil([&] { return outcome->done; }));
    ASSERT_FALSE(outcome->result.has_value());
    EXPECT_EQ(outcome->result.error().description(), "ITU-R P.533 calculation failed: second");
    EXPECT_EQ(fake.ended(), 4);
    EXPECT_TRUE(fake.leftoverWorkFolders().isEmpty());
}

TEST(ITUEngine, EveryDataFileTheEngineReadsIsFetchedBeforeTheEngineIsLookedFor)
{
    FakeEngine fake(false);
    HttpPeer peer;
    ASSERT_TRUE(peer.listen());
    setenv("CORVANTA_FEEDS_BASE", qPrintable(peer.base()), 1);
    const QByteArray data = "/ITU-R-Study-Group-3/ITU-R-HF/master/P533/Data/";
    peer.serve(data + "ionos06.bin", 404, "");
    const QString engineFolder = fake.engineFolder();
    const QString program = engineFolder + "/ITURHFProp";
    const QString spare = fake.workParent() + "/ITURHFProp";
    ASSERT_TRUE(QFile::rename(program, spare));
    ITUEngine engine(foldersOf(fake));
    // The job's preparation comes first: its download fails before the
    // missing engine is noticed.
    EXPECT_EQ(failureOf(engine), "Could not download the ITU ionosphere data: server answered 404");
    peer.serve(data + "ionos06.bin", 200, QByteArray(11197844, 'x'));
    peer.serve(data + "COEFF06W.txt", 200, "noise coefficients");
    peer.serve(data + "P1239-3%20Decile%20Factors.txt", 200, "decile factors");
    engine.dataFiles().forgetFailures();
    EXPECT_EQ(failureOf(engine), ITUEngineError::notInstalledText(fake.engineFolder()));
    EXPECT_TRUE(engine.dataFiles().hasData(6));
    EXPECT_TRUE(QDir(fake.workParent()).entryList({ "Corvanta-ITU-*" }, QDir::AllEntries).isEmpty());

    // With all three there the engine runs: the stand-in, like the engine,
    // refuses to without any of them.
    ASSERT_TRUE(QFile::rename(spare, program));
    EXPECT_EQ(failureOf(engine), "");
    EXPECT_EQ(peer.requests().size(), 6); // all three failed the first time
    unsetenv("CORVANTA_FEEDS_BASE");
}

TEST(ITUEngine, QuittingDuringARunStopsTheEngineAndRemovesItsFolder)
{
    FakeEngine fake;
    auto engine = std::make_unique<ITUEngine>(foldersOf(fake));
    fake.setControl("delay_ms 30000\n");
    const auto outcome = runAll(*engine, { request(10), request(20) });
    ASSERT_TRUE(waitUntil([&] { return fake.started() == 2; }));
    EXPECT_EQ(engine->running(), 2);
    EXPECT_EQ(fake.leftoverWorkFolders().size(), 2);
    QElapsedTimer clock;
    clock.start();
    engine.reset();
    EXPECT_LT(clock.elapsed(), 20000); // not the engine's 30 s, however slow the machine
    EXPECT_TRUE(fake.leftoverWorkFolders().isEmpty());
    EXPECT_FALSE(outcome->done);
}

TEST(EngineRun, FailureDetail)
{
    EXPECT_EQ(EngineRun::failureDetail("", "", 9), "exit code 9");
    EXPECT_EQ(EngineRun::failureDetail("\n", "ignored", 1), "\n"); // standard error as it is
    EXPECT_EQ(EngineRun::failureDetail("", "  \n\t", 2), "exit code 2");
    EXPECT_EQ(EngineRun::failureDetail("bad \xff byte", "", 1), "bad \uFFFD byte");
    EXPECT_EQ(EngineRun::failureDetail("", "first\nlast  \n", 1), "first\nlast");
    EXPECT_EQ(EngineRun::failureDetail(QString(301, u'\u00e9').toUtf8(), "", 1), QString(300, u'\u00e9'));
}
