#include "rotator/RotatorSession.h"
#include "rotator/SerialLink.h"
#include "rotator/TCPLink.h"
#include "support/FakeRotatorController.h"
#include "support/LoopbackListener.h"
#include "support/RotctldPeer.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>

using Dialect = FakeRotatorController::Dialect;
using Answers = FakeRotatorController::Answers;
using Clock = std::chrono::steady_clock;

namespace {

RotatorProtocol protocolOf(Dialect dialect)
{
    switch (dialect) {
    case Dialect::GS232A:
        return RotatorProtocol::gs232a;
    case Dialect::GS232B:
        return RotatorProtocol::gs232b;
    case Dialect::Prosistel:
        return RotatorProtocol::prosistel;
    }
    return RotatorProtocol::gs232b;
}

// A session on the fake controller's port. `link` (if given) receives a
// view of the link for looking into its buffer.
std::unique_ptr<RotatorSession> sessionOn(const FakeRotatorController& fake, Dialect dialect,
                                          RotatorLink** link = nullptr)
{
    auto opened = SerialLink::open(fake.portPath(), 9600);
    EXPECT_TRUE(opened.has_value());
    if (!opened)
        return nullptr;
    if (link)
        *link = opened->get();
    return std::make_unique<RotatorSession>(protocolOf(dialect), std::move(*opened));
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A stand-in rotctld whose answers the test writes by hand.
struct ScriptedDaemon {
    int listener = -1;
    int peer = -1;
    int port = 0;
    ScriptedDaemon() { listener = listenOnLoopback(1, port); }
    ~ScriptedDaemon()
    {
        if (peer >= 0)
            ::close(peer);
        ::close(listener);
    }
    void accept() { peer = ::accept(listener, nullptr, nullptr); }
    void say(const QByteArray& bytes) { ::send(peer, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL); }
    // What the client sent within `ms` milliseconds.
    QByteArray heard(int ms)
    {
        pollfd p { peer, POLLIN, 0 };
        if (::poll(&p, 1, ms) <= 0)
            return {};
        char chunk[256];
        const ssize_t n = ::recv(peer, chunk, sizeof chunk, 0);
        return n > 0 ? QByteArray(chunk, n) : QByteArray();
    }
};

} // namespace

TEST(RotatorRamp, StartsAndEndsSlowly)
{
    EXPECT_EQ(RotatorRamp::speed(0, 100), 1);
    EXPECT_EQ(RotatorRamp::speed(2, 100), 2);
    EXPECT_EQ(RotatorRamp::speed(10, 30), 3);
    EXPECT_EQ(RotatorRamp::speed(10, 10), 2);
    EXPECT_EQ(RotatorRamp::speed(10, 5), 1);
    EXPECT_EQ(RotatorRamp::speed(4.5, 35), 4);
    EXPECT_EQ(RotatorRamp::speed(1.5, 8), 2);
    EXPECT_EQ(RotatorRamp::speed(3.0, 20), 3);
    EXPECT_EQ(RotatorRamp::speed(1.4999, 1000), 1);
    EXPECT_EQ(RotatorRamp::speed(1000, 7.999), 1);
}

TEST(RotatorSession, ReadsTheAzimuthOfEachSerialDialect)
{
    for (Dialect dialect : { Dialect::GS232A, Dialect::GS232B, Dialect::Prosistel }) {
        FakeRotatorController fake(dialect);
        fake.setAzimuth(123);
        auto session = sessionOn(fake, dialect);
        ASSERT_TRUE(session);
        EXPECT_EQ(session->readPosition(2), 123.0) << int(dialect);
        // An answer that comes late, but within the time-out, still counts.
        fake.setAzimuth(7);
        fake.setAnswerDelay(0.4);
        EXPECT_EQ(session->readPosition(3), 7.0) << int(dialect);
    }
}

TEST(RotatorSession, TakesAnUnterminatedGS232AnswerAndTheNewestOfABurst)
{
    FakeRotatorController fake(Dialect::GS232B);
    auto session = sessionOn(fake, Dialect::GS232B);
    ASSERT_TRUE(session);

    // No CR ever comes: the answer is recognised after a quiet slice, long
    // before the time-out would end the call with "no answer".
    fake.setAzimuth(123);
    fake.setAnswers(Answers::Unterminated);
    EXPECT_EQ(session->readPosition(30), 123.0);

    fake.setCustomAnswer("AZ=100\rAZ=101\r");
    EXPECT_EQ(session->readPosition(2), 101.0);

    // Stale answers waiting on the line are not taken for the new one.
    fake.setAnswers(Answers::Normal);
    fake.setAzimuth(200);
    fake.send("AZ=050\r");
    ASSERT_TRUE(waitUntil([&] { return fake.sentAll(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(session->readPosition(2), 200.0);
}

TEST(RotatorSession, ReportsSilenceAndNonsense)
{
    FakeRotatorController fake(Dialect::GS232B);
    auto session = sessionOn(fake, Dialect::GS232B);
    ASSERT_TRUE(session);

    fake.setAnswers(Answers::Garbled);
    EXPECT_EQ(session->readPosition(0.6), std::unexpected(RotatorLinkError::notUnderstood("?>")));

    fake.setAnswers(Answers::Silent);
    EXPECT_EQ(session->readPosition(0.6), std::unexpected(RotatorLinkError::noAnswer()));

    // The shown answer: its first 40 characters, control bytes and
    // non-ASCII letters as dots.
    const QByteArray tail(47, 'x');
    fake.setCustomAnswer("\x02"
                         "Q\tcaf\xc3\xa9"
                         + tail + "\r");
    EXPECT_EQ(session->readPosition(0.6),
              std::unexpected(
                  RotatorLinkError::notUnderstood(QString::fromUtf16(u"\u00B7Q\u00B7caf\u00B7") + QString(33, u'x'))));

    // A time-out of 0 still asks, but reads nothing.
    const auto before = fake.commands().size();
    fake.setAnswers(Answers::Normal);
    EXPECT_EQ(session->readPosition(0), std::unexpected(RotatorLinkError::noAnswer()));
    ASSERT_TRUE(fake.waitForCommands(int(before) + 1, 30));
    EXPECT_EQ(fake.commands().last(), "C");
}

TEST(RotatorSession, AProsistelAnswerWithoutCRIsNoAnswer)
{
    FakeRotatorController fake(Dialect::Prosistel);
    fake.setAzimuth(90);
    auto session = sessionOn(fake, Dialect::Prosistel);
    ASSERT_TRUE(session);
    fake.setAnswers(Answers::Unterminated);
    EXPECT_EQ(session->readPosition(0.6), std::unexpected(RotatorLinkError::noAnswer()));
}

TEST(RotatorSession, SendsCommandsAndSwallowsTheChatterAfterThem)
{
    FakeRotatorController fake(Dialect::GS232A);
    fake.setDegreesPerSecond(1); // barely moves while the test looks
    auto session = sessionOn(fake, Dialect::GS232A);
    ASSERT_TRUE(session);

    fake.setChatter("OK", 1.0);
    ASSERT_TRUE(session->moveTo(5).has_value());
    ASSERT_TRUE(session->setSpeed(0).has_value());
    ASSERT_TRUE(session->setSpeed(7).has_value());
    ASSERT_TRUE(session->stop().has_value());
    // Lines still arriving from the chatter are not taken for the answer.
    fake.setAzimuth(321);
    EXPECT_EQ(session->readPosition(3), 321.0);
    EXPECT_EQ(fake.commands().mid(0, 4), (QList<QByteArray> { "M005", "X1", "X4", "S" }));

    session->close();
    EXPECT_EQ(session->moveTo(10), std::unexpected(RotatorLinkError::closed()));
    EXPECT_EQ(session->readPosition(1), std::unexpected(RotatorLinkError::closed()));
    EXPECT_EQ(session->setSpeed(2), std::unexpected(RotatorLinkError::closed()));
}

TEST(RotatorSession, AGonePeerEndsTheCallWithClosed)
{
    FakeRotatorController fake(Dialect::GS232B);
    auto session = sessionOn(fake, Dialect::GS232B);
    ASSERT_TRUE(session);
    fake.setAnswers(Answers::Silent);
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        fake.hangUp();
    });
    EXPECT_EQ(session->readPosition(20), std::unexpected(RotatorLinkError::closed()));
    unplug.join();
}

TEST(RotatorSession, TurnsWithTheSoftStartTableUntilArrival)
{
    FakeRotatorController fake(Dialect::GS232B);
    fake.setDegreesPerSecond(120);
    fake.setAzimuth(10);
    auto session = sessionOn(fake, Dialect::GS232B);
    ASSERT_TRUE(session);

    const int target = 100;
    const auto start = Clock::now();
    ASSERT_TRUE(session->setSpeed(RotatorRamp::speed(0, target - 10)).has_value());
    ASSERT_TRUE(session->moveTo(target).has_value());
    bool arrived = false;
    int lastLevel = 1;
    for (int i = 0; i < 200 && !arrived; ++i) {
        const auto position = session->readPosition(2);
        ASSERT_TRUE(position.has_value()) << position.error().message().toStdString();
        const double left = std::abs(target - *position);
        arrived = left <= 2;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const int level = RotatorRamp::speed(secondsSince(start), left);
        if (!arrived && level != lastLevel) {
            ASSERT_TRUE(session->setSpeed(level).has_value());
            lastLevel = level;
        }
    }
    EXPECT_TRUE(arrived);
    const QList<QByteArray> commands = fake.commands();
    QList<QByteArray> speeds;
    for (const QByteArray& c : commands) {
        if (c.startsWith('X'))
            speeds.append(c);
    }
    ASSERT_FALSE(speeds.isEmpty());
    EXPECT_EQ(speeds.first(), "X1"); // a turn starts slowly
    EXPECT_TRUE(commands.contains("M100"));
    ASSERT_TRUE(session->stop().has_value());
    EXPECT_FALSE(fake.isTurning());
}

TEST(RotatorSession, TalksToRotctld)
{
    RotctldPeer rotctld;
    ASSERT_TRUE(rotctld.isRunning()) << "rotctld (Debian libhamlib-utils) is needed";
    auto link = TCPLink::connect("127.0.0.1", rotctld.port(), 2);
    ASSERT_TRUE(link.has_value());
    RotatorLink* view = link->get();
    RotatorSession session(RotatorProtocol::rotctld, std::move(*link));

    const auto home = session.readPosition(3);
    ASSERT_TRUE(home.has_value()) << home.error().message().toStdString();
    // The elevation line was taken as well: nothing is left over.
    EXPECT_EQ(view->readLine(10, 0.2).value(), std::nullopt);

    ASSERT_TRUE(session.setSpeed(3).has_value());
    ASSERT_TRUE(session.moveTo(int(*home) + 90).has_value());
    double turned = *home;
    for (int i = 0; i < 300 && turned == *home; ++i) { // 30 s at least: a slow machine's last bound
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto now = session.readPosition(3);
        ASSERT_TRUE(now.has_value());
        turned = *now;
    }
    EXPECT_GT(turned, *home);

    ASSERT_TRUE(session.stop().has_value());
    const auto stopped = session.readPosition(3);
    ASSERT_TRUE(stopped.has_value());
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(session.readPosition(3), *stopped);
    session.close();
}

TEST(RotatorSession, HandlesTheRotctldAnswerForms)
{
    ScriptedDaemon daemon;
    auto link = TCPLink::connect("127.0.0.1", daemon.port, 2);
    ASSERT_TRUE(link.has_value());
    daemon.accept();
    RotatorSession session(RotatorProtocol::rotctld, std::move(*link));

    // Speed is not part of this dialect: nothing goes out.
    ASSERT_TRUE(session.setSpeed(3).has_value());
    EXPECT_EQ(daemon.heard(100), "");

    // The answer must come after the query, or it is discarded as stale.
    auto answerQuery = [&daemon](const QByteArray& answer) {
        return std::thread([&daemon, answer] {
            QByteArray query;
            for (int i = 0; i < 20 && !query.endsWith('\n'); ++i)
                query += daemon.heard(50);
            if (query == "p\n")
                daemon.say(answer);
        });
    };
    std::thread first = answerQuery("123.000000\n0.000000\n");
    EXPECT_EQ(session.readPosition(2), 123.0);
    first.join();

    // A status reply and a line with a CR are answers, but not positions.
    std::thread second = answerQuery("RPRT -1\nbad\r\n");
    EXPECT_EQ(session.readPosition(1.5),
              std::unexpected(RotatorLinkError::notUnderstood(QString::fromUtf16(u"bad\u00B7"))));
    second.join();
}
