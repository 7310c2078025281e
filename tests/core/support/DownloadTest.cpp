// Downloads against local servers: redirects under every rule, a body
// without end, a full line of connections, and in a network of its own a
// lookup that never answers and no network at all.
#include "support/Download.h"
#include "support/HttpPeer.h"
#include "support/WaitUntil.h"

#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace std::chrono_literals;
using Stop = Download::Stop;

namespace {

using Ended = std::shared_ptr<std::optional<Download::Outcome>>;

Ended start(QNetworkAccessManager& network, const QString& url, const Download::Limits& limits,
            Download::Sink sink = {})
{
    auto ended = std::make_shared<std::optional<Download::Outcome>>();
    auto* download = new Download(network, QNetworkRequest(QUrl(url)), limits, nullptr);
    download->setSink(std::move(sink));
    download->get([ended](const Download::Outcome& outcome) { *ended = outcome; });
    return ended;
}

bool allEnded(const QList<Ended>& all)
{
    return waitUntil([&] { return std::ranges::all_of(all, [](const Ended& e) { return e->has_value(); }); });
}

} // namespace

TEST(DownloadTest, RedirectsAreFollowedUpToFiveHopsUnderEveryRule)
{
    HttpPeer peer;
    ASSERT_TRUE(peer.listen());
    HttpPeer::Response moved;
    const auto hop = [&](const QByteArray& from, int status, const QByteArray& to) {
        moved.status = status, moved.headers = { { "Location", to } }, peer.serve(from, moved);
    };
    hop("/two", 301, "/two2"), hop("/two2", 307, peer.base().toUtf8() + "/end");
    hop("/three", 302, "/three2"), hop("/three2", 308, "three3"), hop("/three3", 303, "/end");
    hop("/six", 302, "/six2"), hop("/six2", 302, "/six3"), hop("/six3", 302, "/three"), hop("/loop", 302, "/loop");
    peer.serve("/end", 200, "whole");
    peer.serve("/empty", 200, "");
    const std::function<bool(const QUrl&)> rules[]
        = { {}, Download::sameSite(QUrl(peer.base())), [](const QUrl& to) { return to.host() == "127.0.0.1"; } };
    QNetworkAccessManager network;
    for (const auto& rule : rules) {
        for (const auto& [path, stop] : { std::pair { "/two", Stop::none },
                                          { "/three", Stop::none },
                                          { "/six", Stop::tooManyHops },
                                          { "/loop", Stop::tooManyHops },
                                          { "/empty", Stop::noAnswer } }) {
            const Ended ended = start(network, peer.base() + path, { 5s, 10s, 1000, rule });
            ASSERT_TRUE(allEnded({ ended }));
            EXPECT_EQ((*ended)->stop, stop) << path << ": " << (*ended)->reason.toStdString();
            EXPECT_EQ((*ended)->body, stop == Stop::none ? "whole" : "");
            EXPECT_EQ((*ended)->reason.contains("too many redirects"), stop == Stop::tooManyHops);
        }
    }
}

TEST(DownloadTest, AnEndlessBodyIsReadLittleFurtherThanTheCapWhileTheWindowIsBusy)
{
    // A server that streams without a length, counting what the client took
    // from the connection until it closed it (or 20 s went by).
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address { AF_INET, 0, { htonl(INADDR_LOOPBACK) }, {} };
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    std::atomic<qint64> sent = 0;
    std::atomic<bool> busy = false;
    std::thread server([&] {
        const int client = accept(listener, nullptr, nullptr);
        const timeval stalled { 20, 0 };
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &stalled, sizeof stalled);
        QByteArray bytes(1 << 16, 'x');
        recv(client, bytes.data(), bytes.size(), 0);
        send(client, "HTTP/1.1 200 OK\r\n\r\nfirst", 24, MSG_NOSIGNAL);
        for (int i = 0; !busy && i < 500; ++i)
            std::this_thread::sleep_for(10ms);
        for (ssize_t n = 0; n >= 0; sent += n)
            n = send(client, bytes.constData(), bytes.size(), MSG_NOSIGNAL);
        close(client);
    });
    constexpr qint64 cap = 1 << 20, bound = cap + (16 << 20);
    QNetworkAccessManager network;
    // The window's thread is busy for a second after the first piece, or
    // until the server got rid of more than the bound.
    const Ended ended = start(network, QString("http://127.0.0.1:%1/").arg(ntohs(address.sin_port)), { 10s, 30s, cap },
                              [&](QByteArrayView) {
                                  if (!busy.exchange(true))
                                      for (int i = 0; i < 100 && sent < bound; ++i)
                                          std::this_thread::sleep_for(10ms);
                                  return QString();
                              });
    EXPECT_TRUE(allEnded({ ended }));
    shutdown(listener, SHUT_RDWR); // no connection came: no more waiting for one
    server.join();
    close(listener);
    EXPECT_EQ(ended->value_or(Download::Outcome {}).stop, Stop::tooLarge);
    EXPECT_LT(sent, bound) << "bytes the client took: " << sent;
}

TEST(DownloadTest, TheLimitCountsFromTheSendingAndTheLineForAConnectionIsBoundedOnItsOwn)
{
    HttpPeer peer;
    ASSERT_TRUE(peer.listen());
    HttpPeer::Response slow;
    slow.body = QByteArray(60, 'x');
    slow.trickleMs = 100;
    peer.serve("/slow", slow);
    peer.serve("/fast", 200, "fast");
    QNetworkAccessManager network;
    // Six hold every connection to the host for six seconds; the two
    // behind them wait in the line, neither idle nor over their limits
    // meanwhile.
    QList<Ended> all;
    for (int i = 0; i < 6; ++i)
        all << start(network, peer.base() + "/slow", { 10s, 60s, 1000 });
    const Ended second = start(network, peer.base() + "/slow", { 2s, 10s, 1000 });
    const Ended last = start(network, peer.base() + "/fast", { 10s, 2s, 1000 });
    ASSERT_TRUE(allEnded(all << second << last));
    EXPECT_EQ((*second)->stop, Stop::none) << (*second)->reason.toStdString();
    EXPECT_EQ((*last)->stop, Stop::queued);
    EXPECT_EQ((*last)->reason, "No connection to 127.0.0.1 came free within 2 s; the request was not sent.");
    EXPECT_EQ(peer.count("/fast"), 0);
}

// Run again inside a network namespace of its own, where a resolver on
// 127.0.0.1 reads and never replies: first with only the loopback
// interface, then with a network interface up.
TEST(DownloadTest, NoNetworkEndsAtOnceAndALookupThatNeverAnswersAtTheIdleLimit)
{
    if (qEnvironmentVariableIsEmpty("CORVANTA_OWN_NETWORK")) {
        if (geteuid() != 0 || QStandardPaths::findExecutable("unshare").isEmpty())
            GTEST_SKIP() << "needs root and unshare for a network namespace of its own";
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        qputenv("CORVANTA_OWN_NETWORK", "1");
        child.start("unshare",
                    { "-mn", "sh", "-c",
                      "f=$(mktemp) && printf 'nameserver 127.0.0.1\\noptions timeout:30 attempts:1\\n' >$f "
                      "&& ip link set lo up && mount --bind $f /etc/resolv.conf && rm $f "
                      "&& exec \"$0\" --gtest_filter=DownloadTest.NoNetwork*",
                      QStringLiteral(CORVANTA_SELF) });
        const bool finished = child.waitForFinished(120000);
        qunsetenv("CORVANTA_OWN_NETWORK");
        const QByteArray output = child.readAll();
        if (!output.contains("[ RUN"))
            GTEST_SKIP() << "no network namespace could be made: " << output.toStdString();
        EXPECT_TRUE(finished && child.exitCode() == 0) << output.toStdString();
        return;
    }
    QUdpSocket silent;
    ASSERT_TRUE(silent.bind(QHostAddress::LocalHost, 53));
    QNetworkAccessManager network;
    QList<Ended> all;
    for (int i = 0; i < 8; ++i)
        all << start(network, "http://data.corvanta.test/" + QString::number(i), { 30s, 60s, 1000 });
    ASSERT_TRUE(allEnded(all));
    for (const Ended& ended : all)
        EXPECT_EQ((*ended)->reason, "The network cannot be reached.");

    if (std::system("ip link add v0 type veth peer name v1 && ip link set v0 up && ip link set v1 up "
                    "&& ip addr add 10.9.9.9/24 dev v0")
        != 0)
        GTEST_SKIP() << "no network interface could be made for the lookup";
    ASSERT_TRUE(
        waitUntil([] { return QNetworkInterface::interfaceFromName("v0").flags() & QNetworkInterface::IsRunning; }));
    const Ended lookup = start(network, "http://feeds.corvanta.test/x", { 500ms, 60s, 1000 });
    ASSERT_TRUE(allEnded({ lookup }));
    EXPECT_EQ((*lookup)->reason, "No answer from feeds.corvanta.test within 0.5 s.");
    // Not waiting at the exit for the lookup the resolver holds.
    std::fflush(stdout);
    std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
}
