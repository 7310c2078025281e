// Downloads against local servers: redirects under every rule, a body
// without end, a full line of connections, a lookup that never answers and
// no network at all (the last two in a private network namespace).
#include "support/Download.h"
#include "support/HttpPeer.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;
using Stop = Download::Stop;

namespace {

std::shared_ptr<std::optional<Download::Outcome>> start(QNetworkAccessManager& network, const QString& url,
                                                          const Download::Limits& limits, QObject* parent = nullptr)
{
    auto outcome = std::make_shared<std::optional<Download::Outcome>>();
    (new Download(network, QNetworkRequest(QUrl(url)), limits, parent))->get([outcome](const auto& o) { *outcome = o; });
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
        for (const auto& [path, stop] : { std::pair { "/two", Stop::none }, { "/three", Stop::none },
                                          { "/six", Stop::tooManyHops }, { "/loop", Stop::tooManyHops },
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
    sockaddr_in address { .sin_family = AF_INET, .sin_port = 0, .sin_addr = { htonl(INADDR_LOOPBACK) }, .sin_zero = {} };
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
    auto* download = new Download(network, QNetworkRequest(QUrl(QString("http://127.0.0.1:%1/").arg(ntohs(address.sin_port)))),
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
