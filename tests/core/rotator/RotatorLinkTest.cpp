#include "rotator/SerialLink.h"
#include "rotator/TCPLink.h"
#include "support/FakeRotatorController.h"
#include "support/LoopbackListener.h"
#include "support/RotctldPeer.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

using Dialect = FakeRotatorController::Dialect;

namespace {

std::unique_ptr<SerialLink> openSerial(const FakeRotatorController& fake, int baud = 9600)
{
    auto link = SerialLink::open(fake.portPath(), baud);
    EXPECT_TRUE(link.has_value()) << (link ? "" : link.error().message().toStdString());
    return link ? std::move(*link) : nullptr;
}

// The controller sends `bytes`, and they come through the line: they wait
// at the link's end.
void sendThrough(FakeRotatorController& fake, const SerialLink& link, const QByteArray& bytes)
{
    fake.send(bytes);
    ASSERT_TRUE(waitUntil([&] {
        int waiting = 0;
        return ::ioctl(link.fd(), FIONREAD, &waiting) == 0 && waiting >= bytes.size();
    }));
}

// A listening socket on 127.0.0.1 that the test drives by hand.
struct LocalServer {
    int listener = -1;
    int port = 0;
    LocalServer() { listener = listenOnLoopback(4, port); }
    ~LocalServer() { ::close(listener); }
    int accept() { return ::accept(listener, nullptr, nullptr); }
};

} // namespace

TEST(RotatorLinkError, MessagesForTheUser)
{
    EXPECT_EQ(RotatorLinkError::open("Can't find nowhere").message(), "Can't find nowhere");
    EXPECT_EQ(RotatorLinkError::notUnderstood("?>").message(),
              "The controller's answer \"?>\" doesn't fit this protocol. Check the protocol and the serial port.");
    EXPECT_EQ(RotatorLinkError::noAnswer().message(), "The rotator controller doesn't answer");
    EXPECT_EQ(RotatorLinkError::closed().message(), "The connection was closed");
    EXPECT_NE(RotatorLinkError::open("a"), RotatorLinkError::open("b"));
    EXPECT_EQ(SerialLink::shortName("/dev/ttyUSB0"), "ttyUSB0");
    EXPECT_EQ(SerialLink::shortName("/dev/pts/4"), "pts/4");
}

TEST(SerialLink, SplitsAnswersIntoLines)
{
    FakeRotatorController fake(Dialect::GS232B);
    auto link = openSerial(fake);
    ASSERT_TRUE(link);

    // CR LF is one end of line; a lone LF ends a line too; CR CR gives no
    // empty line.
    fake.send("AZ=123\r\nAZ=124\nAZ=125\r\rAZ=");
    EXPECT_EQ(link->readLine(13, 2).value(), "AZ=123");
    EXPECT_EQ(link->readLine(13, 2).value(), "AZ=124");
    EXPECT_EQ(link->readLine(13, 2).value(), "AZ=125");
    EXPECT_EQ(link->readLine(13, 0.2).value(), std::nullopt);
    EXPECT_EQ(link->takeUnterminated(), "AZ=");
    EXPECT_EQ(link->takeUnterminated(), "");

    // With LF as terminator a CR stays in the line.
    fake.send("12.5\r\n");
    EXPECT_EQ(link->readLine(10, 2).value(), "12.5\r");

    // Bytes that are not UTF-8 are replaced, the line is kept.
    fake.send("\xff"
              "AZ=1\r");
    EXPECT_EQ(link->readLine(13, 2).value(), QString(QChar(0xFFFD)) + "AZ=1");

    // A timeout of 0 hands out what is buffered and never waits for more.
    sendThrough(fake, *link, "A\rB\r");
    EXPECT_EQ(link->readAvailableLines(13).value(), (QStringList { "A", "B" }));
    EXPECT_EQ(link->readAvailableLines(13).value(), QStringList());
    sendThrough(fake, *link, "C\rD\r");
    EXPECT_EQ(link->readLine(13, 1).value(), "C");
    EXPECT_EQ(link->readLine(13, 0).value(), "D");
    EXPECT_EQ(link->readLine(13, 0).value(), std::nullopt);
}

TEST(SerialLink, KeepsOnlyTheNewestBytesOfAnEndlessLine)
{
    FakeRotatorController fake(Dialect::GS232B);
    auto link = openSerial(fake);
    ASSERT_TRUE(link);
    QByteArray flood;
    for (int i = 0; i < 5000; ++i)
        flood.append(char('a' + i % 26));
    fake.send(flood);
    // Read until the line has been quiet for a while.
    while (link->readLine(13, 0.5).value())
        ;
    const QString rest = link->takeUnterminated();
    EXPECT_EQ(rest.size(), FDLink::bufferCap);
    EXPECT_EQ(rest, QString::fromLatin1(flood.right(FDLink::bufferCap)));
}

TEST(SerialLink, WritesCommandsAndSetsTheLineUp)
{
    FakeRotatorController fake(Dialect::GS232B);
    auto link = openSerial(fake, 4800);
    ASSERT_TRUE(link);

    termios settings {};
    ASSERT_EQ(::tcgetattr(link->fd(), &settings), 0);
    EXPECT_EQ(settings.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_FALSE(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS | HUPCL));
    EXPECT_TRUE(settings.c_cflag & CLOCAL);
    EXPECT_TRUE(settings.c_cflag & CREAD);
    EXPECT_FALSE(settings.c_lflag & (ICANON | ECHO));
    EXPECT_EQ(::cfgetospeed(&settings), speed_t(B4800));
    // A child process must not inherit the port, or its lock outlives us.
    EXPECT_TRUE(::fcntl(link->fd(), F_GETFD) & FD_CLOEXEC);

    ASSERT_TRUE(link->write("M123\r").has_value());
    ASSERT_TRUE(link->write("").has_value());
    ASSERT_TRUE(link->write("\x02"
                            "AG5\r")
                    .has_value());
    ASSERT_TRUE(fake.waitForCommands(2, 30));
    EXPECT_EQ(fake.commands(),
              (QList<QByteArray> { "M123",
                                   "\x02"
                                   "AG5" }));
}

TEST(SerialLink, OpeningFailsWithAMessage)
{
    FakeRotatorController fake(Dialect::GS232B);
    const QString shortName = SerialLink::shortName(fake.portPath());
    const auto inUse = RotatorLinkError::open(shortName + " is in use by another antenna or another program");
    {
        auto first = openSerial(fake);
        ASSERT_TRUE(first);
        auto second = SerialLink::open(fake.portPath(), 9600);
        ASSERT_FALSE(second.has_value());
        EXPECT_EQ(second.error(), inUse);
    }
    {
        // Another program holding the lock keeps us out too.
        const int other = ::open(fake.portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(other, 0);
        ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        auto refused = SerialLink::open(fake.portPath(), 9600);
        ::close(other);
        ASSERT_FALSE(refused.has_value());
        EXPECT_EQ(refused.error(), inUse);
    }
    // Once closed, the port is free again.
    auto again = openSerial(fake);
    ASSERT_TRUE(again);
    again->close();
    EXPECT_TRUE(openSerial(fake));

    auto missing = SerialLink::open("/dev/corvanta-no-such-port", 9600);
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error(),
              RotatorLinkError::open("Can't open /dev/corvanta-no-such-port: No such file or directory"));

    auto oddSpeed = SerialLink::open(fake.portPath(), 12345);
    ASSERT_FALSE(oddSpeed.has_value());
    EXPECT_EQ(oddSpeed.error(), RotatorLinkError::open("Can't set " + fake.portPath() + " to 12345 baud"));
    // The failed attempt let go of the port.
    EXPECT_TRUE(openSerial(fake));
}

TEST(SerialLink, AClosedLinkOrAGonePeerReadsAsClosed)
{
    FakeRotatorController fake(Dialect::GS232B);
    auto link = openSerial(fake);
    ASSERT_TRUE(link);
    sendThrough(fake, *link, "ONE\rTWO\rTH");
    EXPECT_EQ(link->readLine(13, 2).value(), "ONE");
    fake.hangUp();
    // What already arrived is still handed out, then the loss shows.
    EXPECT_EQ(link->readLine(13, 1).value(), "TWO");
    EXPECT_EQ(link->readLine(13, 1), std::unexpected(RotatorLinkError::closed()));

    link->close();
    link->close();
    EXPECT_EQ(link->write("C\r"), std::unexpected(RotatorLinkError::closed()));
    EXPECT_EQ(link->readAvailableLines(13), std::unexpected(RotatorLinkError::closed()));
    EXPECT_EQ(link->readLine(13, 0), std::unexpected(RotatorLinkError::closed()));
    EXPECT_EQ(link->takeUnterminated(), "TH");
}

TEST(TCPLink, TalksToRotctld)
{
    RotctldPeer rotctld;
    ASSERT_TRUE(rotctld.isRunning()) << "rotctld (Debian libhamlib-utils) is needed";
    auto link = TCPLink::connect("127.0.0.1", rotctld.port(), 2);
    ASSERT_TRUE(link.has_value()) << link.error().message().toStdString();
    EXPECT_TRUE(::fcntl((*link)->fd(), F_GETFD) & FD_CLOEXEC);

    ASSERT_TRUE((*link)->write("p\n").has_value());
    // Azimuth, then elevation.
    const auto azimuth = (*link)->readLine(10, 3);
    ASSERT_TRUE(azimuth.has_value() && azimuth->has_value());
    const auto elevation = (*link)->readLine(10, 3);
    ASSERT_TRUE(elevation.has_value() && elevation->has_value());
    // An unknown command gets no answer at all: only the deadline ends the wait.
    ASSERT_TRUE((*link)->write("C\r").has_value());
    EXPECT_EQ((*link)->readLine(10, 0.3).value(), std::nullopt);
}

TEST(TCPLink, ConnectingFailsWithAMessage)
{
    // A name label longer than 63 characters fails inside the resolver,
    // before any query could leave the machine.
    const QString nowhere = QString(70, u'x') + ".invalid";
    auto unknown = TCPLink::connect(nowhere, 4533, 1);
    ASSERT_FALSE(unknown.has_value());
    EXPECT_EQ(unknown.error(), RotatorLinkError::open("Can't find " + nowhere));

    const int port = RotctldPeer::freePort();
    auto refused = TCPLink::connect("127.0.0.1", port, 1);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error(),
              RotatorLinkError::open("Can't connect to rotctld at 127.0.0.1:" + QString::number(port)));

    // "localhost" may resolve to ::1 and 127.0.0.1; all are tried.
    auto refusedByName = TCPLink::connect("localhost", port, 1);
    ASSERT_FALSE(refusedByName.has_value());
    EXPECT_EQ(refusedByName.error(),
              RotatorLinkError::open("Can't connect to rotctld at localhost:" + QString::number(port)));

    // A port number that TCP has no room for is refused as such, before the
    // resolver could wrap it (70000 would become 4464) or blame the host.
    for (const int outside : { 0, -1, 65536, 70000 }) {
        auto wrong = TCPLink::connect("127.0.0.1", outside, 1);
        ASSERT_FALSE(wrong.has_value()) << outside;
        EXPECT_EQ(wrong.error(),
                  RotatorLinkError::open("The rotctld port must be from 1 to 65535, not " + QString::number(outside)));
    }
}

TEST(TCPLink, APeerThatHangsUpOrStopsReadingShowsAsClosed)
{
    LocalServer server;
    {
        auto link = TCPLink::connect("127.0.0.1", server.port, 0.3);
        ASSERT_TRUE(link.has_value());
        const int peer = server.accept();
        ASSERT_GE(peer, 0);
        // The peer never reads: once the buffers are full the write gives up
        // after the time-out instead of hanging.
        const QString huge(16 * 1024 * 1024, u'p');
        EXPECT_EQ((*link)->write(huge), std::unexpected(RotatorLinkError::closed()));
        ::close(peer);
    }

    auto link = TCPLink::connect("127.0.0.1", server.port, 1);
    ASSERT_TRUE(link.has_value());
    const int peer = server.accept();
    ASSERT_GE(peer, 0);
    ::send(peer, "1.5\n2.5\n", 8, MSG_NOSIGNAL);
    ::close(peer);
    EXPECT_EQ((*link)->readLine(10, 2).value(), "1.5");
    EXPECT_EQ((*link)->readLine(10, 2).value(), "2.5");
    EXPECT_EQ((*link)->readLine(10, 2), std::unexpected(RotatorLinkError::closed()));
    // Writing to a closed connection neither kills the process nor keeps
    // succeeding.
    RotatorLinkResult<void> written;
    for (int i = 0; i < 50 && written; ++i) {
        written = (*link)->write("p\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(written, std::unexpected(RotatorLinkError::closed()));
}
