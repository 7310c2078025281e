// Downloads against local servers: redirects under every rule, a body
// without end, a full line of connections, a lookup that never answers and
// no network at all (the last two in a private network namespace).
#include "support/Download.h"
#include "support/HttpPeer.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
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

std::shared_ptr<std::optional<Download::Outcome>> start(QNetworkAccessManager& network, const QString& url,
                                                        const Download::Limits& limits, QObject* parent = nullptr)
{
    auto outcome = std::make_shared<std::optional<Download::Outcome>>();
    (new Download(network, QNetworkRequest(QUrl(url)), limits, parent))->get([outcome](const auto& o) {
        *outcome = o;
    });
    return outcome;
}

} // namespace

TEST(DownloadTest, RedirectsAreFollowedUpToFiveHopsUnderEveryRule)
{
    HttpPeer peer;
    ASSERT_TRUE(peer.listen());
    const auto hop = [&](const QByteArray& from, int status, const QByteArray& to) {
        HttpPeer::Response moved;
        moved.status = status;
        moved.headers = { { "Location", to } };
        peer.serve(from, moved);
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
            SCOPED_TRACE(path);
            const auto outcome = start(network, peer.base() + path, { 5s, 10s, 1000, rule });
            ASSERT_TRUE(waitUntil([&] { return outcome->has_value(); }));
            EXPECT_EQ((*outcome)->stop, stop) << (*outcome)->reason.toStdString();
            EXPECT_EQ((*outcome)->body, stop == Stop::none ? "whole" : "");
            EXPECT_EQ((*outcome)->reason.contains("too many redirects"), stop == Stop::tooManyHops);
        }
    }
}

TEST(DownloadTest, AnEndlessBodyIsReadLittleFurtherThanTheCapWhileTheWindowIsBusy)
{
    // A server that streams without a length, counting what the client
    // took from the connection until it closed it.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {
        .sin_family = AF_INET, .sin_port = 0, .sin_addr = { htonl(INADDR_LOOPBACK) }, .sin_zero = {}
    };
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    std::atomic<qint64> sent = 0;
    std::atomic<bool> closed = false;
    std::atomic<bool> busy = false;
    std::thread server([&] {
        const timeval stalled { 20, 0 };
        setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &stalled, sizeof stalled);
        const int client = accept(listener, nullptr, nullptr);
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &stalled, sizeof stalled);
        char head[4096];
        recv(client, head, sizeof head, 0);
        const QByteArray answer = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nfirst";
        send(client, answer.constData(), answer.size(), MSG_NOSIGNAL);
        for (int i = 0; !busy && i < 500; ++i)
            std::this_thread::sleep_for(10ms);
        const QByteArray block(1 << 16, 'x');
        for (ssize_t n = 0; n >= 0 && sent < (qint64(4) << 30); sent += n)
            n = send(client, block.constData(), block.size(), MSG_NOSIGNAL);
        close(client);
        closed = true;
    });
    constexpr qint64 cap = 1 << 20;
    constexpr qint64 bound = cap + (16 << 20);
    QNetworkAccessManager network;
    auto* download
        = new Download(network, QNetworkRequest(QUrl(QString("http://127.0.0.1:%1/").arg(ntohs(address.sin_port)))),
                       { 10s, 30s, cap }, nullptr);
    // The window's thread is busy for a second after the first piece, or
    // until the server got rid of more than the bound.
    download->setSink([&](QByteArrayView) {
        if (!busy.exchange(true))
            for (int i = 0; i < 100 && sent < bound; ++i)
                std::this_thread::sleep_for(10ms);
        return QString();
    });
    std::optional<Download::Outcome> outcome;
    download->get([&](const Download::Outcome& o) { outcome = o; });
    EXPECT_TRUE(waitUntil([&] { return outcome && closed; }, 30000));
    server.join();
    close(listener);
    EXPECT_EQ(outcome.value_or(Download::Outcome {}).stop, Stop::tooLarge);
    EXPECT_LT(sent, bound) << "bytes the client took: " << sent;
}

TEST(DownloadTest, TheLimitCountsFromTheSendingAndTheLineForAConnectionIsBoundedOnItsOwn)
{
    HttpPeer peer;
    ASSERT_TRUE(peer.listen());
    HttpPeer::Response slow;
    slow.body = QByteArray(20, 'x');
    slow.trickleMs = 100;
    peer.serve("/slow", slow);
    peer.serve("/fast", 200, "fast");
    QNetworkAccessManager network;
    QObject owner;
    // Six hold every connection to the host for two seconds; the two behind
    // them wait in the line, neither idle nor over their limits meanwhile.
    for (int i = 0; i < 6; ++i)
        start(network, peer.base() + "/slow", { 10s, 30s, 1000 }, &owner);
    const auto second = start(network, peer.base() + "/slow", { 500ms, 3s, 1000 });
    const auto last = start(network, peer.base() + "/fast", { 10s, 1s, 1000 });
    ASSERT_TRUE(waitUntil([&] { return second->has_value() && last->has_value(); }, 20000));
    EXPECT_EQ((*second)->stop, Stop::none) << (*second)->reason.toStdString();
    EXPECT_EQ((*last)->stop, Stop::queued);
    EXPECT_EQ((*last)->reason, "No connection to 127.0.0.1 came free within 1 s; the request was not sent.");
    EXPECT_EQ(peer.count("/fast"), 0);
}

// Inside a network namespace of its own, with a resolver on 127.0.0.1 that
// reads and never replies: first with only the loopback interface, then
// with a network interface up.
TEST(DownloadTest, NoNetworkEndsAtOnceAndALookupThatNeverAnswersAtTheIdleLimit)
{
    if (qEnvironmentVariableIsEmpty("CORVANTA_OWN_NETWORK")) {
        if (geteuid() != 0 || QStandardPaths::findExecutable("unshare").isEmpty())
            GTEST_SKIP() << "needs root and unshare for a network namespace of its own";
        QTemporaryFile resolver;
        ASSERT_TRUE(resolver.open());
        resolver.write("nameserver 127.0.0.1\noptions timeout:30 attempts:1\n");
        resolver.close();
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("CORVANTA_OWN_NETWORK", "1");
        child.setProcessEnvironment(environment);
        child.start("unshare",
                    { "-mn", "sh", "-c",
                      "ip link set lo up && mount --bind \"$1\" /etc/resolv.conf && exec \"$2\" \"$3\"", "sh",
                      resolver.fileName(), QCoreApplication::applicationFilePath(),
                      "--gtest_filter=DownloadTest.NoNetworkEndsAtOnce*" });
        ASSERT_TRUE(child.waitForFinished(120000));
        const QByteArray output = child.readAll();
        if (child.exitCode() != 0 && !output.contains("[ RUN"))
            GTEST_SKIP() << "no network namespace could be made: " << output.toStdString();
        EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
        return;
    }
    QUdpSocket silent;
    ASSERT_TRUE(silent.bind(QHostAddress::LocalHost, 53));
    QNetworkAccessManager network;
    QList<std::shared_ptr<std::optional<Download::Outcome>>> all;
    for (int i = 0; i < 8; ++i)
        all << start(network, "http://data.corvanta.test/" + QString::number(i), { 30s, 60s, 1000 });
    ASSERT_TRUE(waitUntil([&] { return std::ranges::all_of(all, [](const auto& o) { return o->has_value(); }); }));
    for (const auto& outcome : all)
        EXPECT_EQ((*outcome)->reason, "The network cannot be reached.");

    if (QProcess::execute("sh",
                          { "-c",
                            "ip link add v0 type veth peer name v1 && ip link set v0 up && "
                            "ip link set v1 up && ip addr add 10.9.9.9/24 dev v0" })
        != 0)
        GTEST_SKIP() << "no network interface could be made for the lookup";
    ASSERT_TRUE(
        waitUntil([] { return QNetworkInterface::interfaceFromName("v0").flags() & QNetworkInterface::IsRunning; }));
    const auto lookup = start(network, "http://feeds.corvanta.test/x", { 500ms, 60s, 1000 });
    ASSERT_TRUE(waitUntil([&] { return lookup->has_value(); }));
    EXPECT_EQ((*lookup)->stop, Stop::unanswered);
    EXPECT_EQ((*lookup)->reason, "No answer from feeds.corvanta.test within 0.5 s.");
    // Not waiting at the exit for the lookup the resolver holds.
    std::fflush(stdout);
    std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
}
