// Downloads against local servers: redirects under every rule, answers
// without end in their head, framing, trailers or body or bombs, fourteen
// at once and to a slow sink, many requests to one host, proxies that
// refuse, hang up, stall or never end, TLS that trickles, a certificate
// nobody vouches for, and in a network of its own a
// lookup that never answers or fails and no network at all.
#include "support/Download.h"
#include "support/DownloadFailure.h"
#include "support/HostilePeer.h"
#include "support/HttpPeer.h"
#include "support/Resident.h"
#include "support/WaitUntil.h"

#include <QElapsedTimer>
#include <QNetworkInterface>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QTimer>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace std::chrono_literals;
using Stop = Download::Stop;

namespace {

using Ended = std::shared_ptr<std::optional<Download::Outcome>>;

Ended start(const QString& url, const Download::Limits& limits, Download::Sink sink = {})
{
    auto ended = std::make_shared<std::optional<Download::Outcome>>();
    auto* download = new Download({ QUrl(url) }, limits, nullptr);
    if (sink)
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
    for (const auto& rule : rules) {
        for (const auto& [path, stop] : { std::pair { "/two", Stop::none },
                                          { "/three", Stop::none },
                                          { "/six", Stop::tooManyHops },
                                          { "/loop", Stop::tooManyHops },
                                          { "/empty", Stop::noAnswer } }) {
            const Ended ended = start(peer.base() + path, { 5s, 10s, 1000, rule });
            ASSERT_TRUE(allEnded({ ended }));
            EXPECT_EQ((*ended)->stop, stop) << path << ": " << (*ended)->reason.toStdString();
            EXPECT_EQ((*ended)->body, stop == Stop::none ? "whole" : "");
            EXPECT_EQ((*ended)->reason.contains("too many redirects"), stop == Stop::tooManyHops);
        }
    }
    // Every hop is put to the rule, not only the first.
    const int before = peer.count("/end");
    const Ended second = start(peer.base() + "/two", { 5s, 10s, 1000, [](const QUrl& to) { return to.path() != "/end"; } });
    ASSERT_TRUE(allEnded({ second }));
    EXPECT_EQ((*second)->stop, Stop::refusedHop);
    // A redirect whose head was cut short sends the request nowhere.
    HostilePeer cut("HTTP/1.1 302 Found\r\nLocation: " + peer.base().toUtf8() + "/end\r\n", "", 0, 1, 0);
    ASSERT_TRUE(allEnded({ start(cut.url(), { 5s, 10s, 1000 }) }));
    EXPECT_EQ(peer.count("/end"), before);
}

namespace {

// What fourteen requests with a 1 MiB cap may add: their bodies, decoders
// and buffers. AddressSanitizer keeps freed memory in quarantine, and
// touches more of each decoder's window.
#ifdef __SANITIZE_ADDRESS__
constexpr qint64 memoryBound = 192 << 20;
#else
constexpr qint64 memoryBound = 48 << 20;
#endif

} // namespace

// Fourteen at once of each kind, as a refresh asks: each ends in its words,
// within its bounds in memory and bytes, and the thread that asked keeps
// time meanwhile (a timer of its own is never late by much).
TEST(DownloadTest, AnswersWithoutEndInTheirHeadFramingOrBodyEndAndTheirConnectionsCloseAtOnce)
{
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n5;";
    // Each unpacks to more than curl would hold for a paused transfer.
    const auto bomb = [&](const QByteArray& coding) {
        return ok + "Content-Encoding: " + coding + "\r\n\r\n" + HostilePeer::bomb(coding, 100 << 20);
    };
    const QString tooLarge = "The answer from 127.0.0.1 is too large.";
    const QString overCap = "The answer from 127.0.0.1 is larger than 1 MiB.";
    const QString notDecoded = "The answer from 127.0.0.1 could not be decoded.";
    const struct {
        QByteArray head, filler;
        int pauseMs;
        Stop stop;
        QString words; // what the caller reads
        qint64 cap = 1 << 20;
    } cases[] = {
        { ok + "X-Pad: ", QByteArray(1 << 16, 'a'), 0, Stop::none, tooLarge },
        { ok, QByteArray(1000, 'a').prepend("X-Pad: ").append("\r\n"), 0, Stop::none, tooLarge },
        // A chunk's size line without end: trickled, only the body's bytes
        // count as news; at full speed, it ends once it took too much.
        { chunked, QByteArray(4096, 'e'), 5, Stop::idle, "Nothing of the answer's body arrived for 1 s." },
        { chunked, QByteArray(1 << 16, 'e'), 0, Stop::headTooLarge, tooLarge },
        { bomb("deflate"), " ", 10, Stop::tooLarge, overCap },
        { bomb("gzip"), " ", 10, Stop::tooLarge, overCap },
        { bomb("br"), " ", 10, Stop::tooLarge, overCap },
        { bomb("zstd"), " ", 10, Stop::none, notDecoded }, // not asked for: its decoder takes any window
        { ok + "\r\n", QByteArray(1 << 16, 'x'), 0, Stop::tooLarge, overCap },
        // Trailer lines without end, which curl would keep at many times their size.
        { ok + "Transfer-Encoding: chunked\r\n\r\n0\r\n", QByteArray("a: b\r\n").repeated(9999), 0,
          Stop::headTooLarge, tooLarge, 4 << 20 },
        // Heads as curl reads them: ended by CR, a byte and LF, a status line amid one; a body after a 101 head.
        { ok + "Transfer-Encoding: chunked\r\n\rX\n0\r\n", QByteArray("a: b\r\n").repeated(9999), 0, Stop::headTooLarge,
          tooLarge, 4 << 20 },
        { bomb("zstd").replace("\r\n\r\n", "\r\n\rX\n"), " ", 10, Stop::none, notDecoded },
        { bomb("zstd").replace("zstd\r\n", "zstd\r\nHTTP/1.1: 200\r\n"), " ", 10, Stop::none, notDecoded },
        { "HTTP/1.1 101 Switching Protocols\r\n\r\n", "x", 0, Stop::none, "The answer from 127.0.0.1 is not HTTP." },
        // At twice the feeds' cap, unpacking is work only the transfer thread takes off this one.
        { bomb("br"), " ", 10, Stop::tooLarge, "The answer from 127.0.0.1 is larger than 32 MiB.", 32 << 20 },
    };
    for (const auto& hostile : cases) {
        const Download::Limits limits { hostile.stop == Stop::idle ? 1s : 60s, 120s, hostile.cap };
        // One alone first, not weighed: an emulator (qemu-user, for the arm64 suite) translates
        // the code a kind runs for the first time into memory of its own, which a processor
        // would not take.
        {
            HostilePeer first(hostile.head, hostile.filler, hostile.pauseMs);
            ASSERT_TRUE(allEnded({ start(first.url(), limits) }));
        }
        HostilePeer server(hostile.head, hostile.filler, hostile.pauseMs, 14);
        const qint64 before = resident("VmRSS:", true);
        const auto began = std::chrono::steady_clock::now();
        QList<Ended> all;
        for (int i = 0; i < 14; ++i)
            all << start(server.url(), limits);
        // A timer of this thread's, every 5 ms: how late it came at worst.
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, late = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { late = std::max(late, clock.elapsed() - std::exchange(last, clock.elapsed()) - 5); });
        tick.start(5);
        ASSERT_TRUE(allEnded(all));
        const auto end = std::chrono::steady_clock::now();
        const std::string what = hostile.head.left(60).toStdString();
        for (const Ended& ended : all) {
            EXPECT_EQ((*ended)->stop, hostile.stop) << what;
            EXPECT_EQ(DownloadFailure::of(**ended).value_or(""), hostile.words) << what;
            // A caller's own words only where its cap on the body ended the download.
            EXPECT_EQ(DownloadFailure::of(**ended, { .tooLarge = "capped" }).value_or(""),
                      hostile.stop == Stop::tooLarge ? "capped" : hostile.words)
                << what;
        }
        EXPECT_LT(end - began, 30s) << what << ": not ended by the idle limit";
        EXPECT_LT(late, 250) << what;
        EXPECT_LT(resident("VmHWM:") - before, memoryBound + 14 * (hostile.cap - (1 << 20))) << what;
        ASSERT_TRUE(waitUntil([&] { return server.allClosed(); })) << what;
        EXPECT_LT(server.closedAt() - end, 1s) << what;
        // What the kernel's buffers hold besides, on loopback a few MB a connection.
        EXPECT_LT(server.sent(), 14 * (16 << 20)) << what;
    }
    // To a sink slower than the network nothing more waits than may, whatever the coding (under
    // AddressSanitizer the pieces it took stay in quarantine).
    for (const auto& [head, words] : { std::pair { bomb("gzip"), notDecoded }, { ok + "\r\n", "enough" } }) {
        qint64 before = 0;
        for (int run = 0; run < 2; ++run) { // weighed on the second, as above
            HostilePeer server(head, QByteArray(1 << 16, 'x'), 0);
            before = resident("VmRSS:", true);
            const Ended ended = start(server.url(), { 60s, 120s, 1 << 30 }, [pieces = 0](QByteArrayView) mutable {
                std::this_thread::sleep_for(200ms);
                return ++pieces < 5 ? QString() : "enough";
            });
            ASSERT_TRUE(allEnded({ ended }));
            EXPECT_EQ(DownloadFailure::of(**ended), words);
        }
        EXPECT_LT(resident("VmHWM:") - before, Download::sinkAhead + memoryBound / 6);
    }
}

TEST(DownloadTest, FourteenRequestsToOneHostGoOutAtOnceEachOnAConnectionOfItsOwn)
{
    HttpPeer peer;
    ASSERT_TRUE(peer.listen());
    HttpPeer::Response slow;
    slow.body = QByteArray(20, 'x');
    slow.trickleMs = 100;
    peer.serve("/slow", slow);
    QList<Ended> all;
    for (int i = 0; i < 14; ++i)
        all << start(peer.base() + "/slow", { 10s, 60s, 1000 });
    // All asked before any has its answer in whole.
    ASSERT_TRUE(waitUntil([&] { return peer.count("/slow") == 14; }));
    EXPECT_FALSE(std::ranges::any_of(all, [](const Ended& e) { return e->has_value(); }));
    ASSERT_TRUE(allEnded(all));
    for (const Ended& ended : all)
        EXPECT_EQ((*ended)->body, slow.body) << (*ended)->reason.toStdString();
}

TEST(DownloadTest, ProxyVariablesAreReadAndWhatFailsIsNamedAsTheProxysOrTheSecureConnections)
{
    HttpPeer proxy;
    ASSERT_TRUE(proxy.listen());
    proxy.serve("http://feeds.corvanta.test/kp.json", 200, "via the proxy");
    qputenv("http_proxy", proxy.base().toUtf8());
    const Ended proxied = start("http://feeds.corvanta.test/kp.json", { 10s, 60s, 1000 });
    ASSERT_TRUE(allEnded({ proxied }));
    qunsetenv("http_proxy");
    EXPECT_EQ((*proxied)->body, "via the proxy");
    // What failed at a proxy, or before it answered, is the proxy's, however the request ended:
    // through it (`variable` set to `at`, or directly for none) `url` ends in `words`.
    const QString https = "https://feeds.corvanta.test/kp.json", http = "http://feeds.corvanta.test/kp.json";
    const QByteArray refusal = "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic\r\n";
    HostilePeer asking(refusal + "Content-Length: 12\r\n\r\nNot allowed.", "", 0, 3, 0);
    HostilePeer overCap(refusal + "Content-Length: 3000000000\r\n\r\n", QByteArray(1 << 16, 'x'), 0, 2);
    HostilePeer stalling(refusal + "X-Pad: ", "a", 50);
    HostilePeer endless("HTTP/1.1 200 Connection established\r\nX-Pad: ", QByteArray(1 << 16, 'a'), 0);
    HostilePeer lines("HTTP/1.1 200 Connection established\r\n", "X-Pad: a\r\n", 0);
    HostilePeer notTls("HTTP/1.1 400 Bad Request\r\n\r\n", "", 0, 1, 0);
    HostilePeer hangingUp("", "", 0, 2, 0);
    HostilePeer resetting({ { "", "", 0, true } }, 0, 1);
    HostilePeer socksRefusing(QByteArray("\x05\x00\x05\x05\x00\x01\0\0\0\0\0\0", 12), "x", 50);
    // A TLS handshake without end, a byte at a time: HelloRequests, which a client ignores while
    // it shakes hands; each read is one more curl call.
    const QByteArray helloRequest("\x16\x03\x01\x00\x04\x00\x00\x00\x00", 9);
    HostilePeer trickling({ { "", helloRequest } }, 0, 2, 1);
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString down = "http://127.0.0.1:" + QString::number(closed.serverPort());
    closed.close();
    const auto at = [](const HostilePeer& peer, const QString& scheme) {
        return scheme + "://" + QUrl(peer.url()).authority();
    };
    const auto of = [](const QString& address) { return "the proxy at " + QUrl(address).authority(); };
    const auto by = [&](const QString& address) { return "T" + of(address).mid(1); };
    const QString user = "http://corvanta:secret@" + QUrl(asking.url()).authority();
    const QString asks = " asks for a password.", closes = " closed the connection before answering.";
    const struct {
        const char* variable;
        QString url, at, words;
        std::chrono::milliseconds idle = 10s;
    } cases[] = {
        { "https_proxy", https, asking.url(), by(asking.url()) + asks },
        { "http_proxy", http, asking.url(), by(asking.url()) + asks },
        { "https_proxy", https, user, by(asking.url()) + " refused the user name and password." },
        { "http_proxy", http, overCap.url(), by(overCap.url()) + asks },
        { "https_proxy", https, overCap.url(), by(overCap.url()) + asks },
        { "http_proxy", http, stalling.url(), by(stalling.url()) + asks, 1s },
        { "https_proxy", https, down, by(down) + " refused the connection." },
        { "https_proxy", https, endless.url(), "The answer from " + of(endless.url()) + " is too large." },
        { "https_proxy", https, lines.url(), "The answer from " + of(lines.url()) + " is too large." },
        { "https_proxy", https, hangingUp.url(), by(hangingUp.url()) + closes },
        { "https_proxy", https, resetting.url(), by(resetting.url()) + closes },
        { "https_proxy", https, at(hangingUp, "socks5h"), by(hangingUp.url()) + closes },
        { "http_proxy", http, at(socksRefusing, "socks5h"),
          by(socksRefusing.url()) + " refused to connect to feeds.corvanta.test." },
        { "http_proxy", http, at(notTls, "https"),
          "A secure connection to " + of(notTls.url())
              + " could not be made: it does not answer in TLS that Corvanta accepts." },
        { "http_proxy", http, at(trickling, "https"), "No answer from " + of(trickling.url()) + " within 5 s.", 5s },
        { nullptr, at(trickling, "https"), {}, "No answer from 127.0.0.1 within 1 s.", 1s },
    };
    for (const auto& c : cases) {
        if (c.variable)
            qputenv(c.variable, c.at.toUtf8());
        const Ended ended = start(c.url, { c.idle, 60s, 1000 });
        EXPECT_TRUE(allEnded({ ended }));
        if (c.variable)
            qunsetenv(c.variable);
        EXPECT_EQ(DownloadFailure::of(ended->value_or(Download::Outcome {})), c.words) << c.at.toStdString();
    }
    for (const HostilePeer* peer : { &overCap, &stalling, &lines, &trickling })
        EXPECT_TRUE(waitUntil([&] { return peer->allClosed(); })) << peer->url().toStdString();

    QTemporaryDir dir;
    const QString key = dir.filePath("key"), cert = dir.filePath("cert");
    QProcess::execute("openssl", { "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                                   "-days", "2", "-subj", "/CN=127.0.0.1" });
    QProcess tls;
    tls.start("openssl", { "s_server", "-accept", "127.0.0.1:0", "-cert", cert, "-key", key, "-www" });
    QByteArray said;
    ASSERT_TRUE(waitUntil([&] { return (said += tls.readAll()).contains("ACCEPT"); })) << said.toStdString();
    const QByteArray port = said.mid(said.lastIndexOf(':') + 1).trimmed();
    const Ended untrusted = start("https://127.0.0.1:" + port + "/", { 10s, 60s, 1000 });
    ASSERT_TRUE(allEnded({ untrusted }));
    tls.kill();
    tls.waitForFinished();
    EXPECT_EQ(DownloadFailure::of(**untrusted),
              "A secure connection to 127.0.0.1 could not be made: its certificate is not trusted.");
    EXPECT_EQ((*untrusted)->detail, "SSL certificate problem: self-signed certificate");
    // Plain HTTP where TLS belongs.
    HostilePeer plainPeer("HTTP/1.1 400 Bad Request\r\n\r\n", "", 0, 1, 0);
    const Ended plain = start(plainPeer.url().replace("http:", "https:"), { 10s, 60s, 1000 });
    ASSERT_TRUE(allEnded({ plain }));
    EXPECT_EQ(DownloadFailure::of(**plain),
              "A secure connection to 127.0.0.1 could not be made: it does not answer in TLS that Corvanta accepts.");
}

// Run again inside a network namespace of its own, first with only the
// loopback interface, then with a network interface up; the resolver on
// 127.0.0.1 is either missing or reads and never replies.
TEST(DownloadTest, LookupsWithoutANetworkOrAnAnswerAreNamedAndNothingIsPrinted)
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
                      "&& exec \"$0\" --gtest_filter=DownloadTest.Lookups*",
                      QStringLiteral(CORVANTA_SELF) });
        const bool finished = child.waitForFinished(120000);
        qunsetenv("CORVANTA_OWN_NETWORK");
        const QByteArray output = child.readAll();
        if (!output.contains("[ RUN"))
            GTEST_SKIP() << "no network namespace could be made: " << output.toStdString();
        EXPECT_TRUE(finished && child.exitCode() == 0) << output.toStdString();
        return;
    }
    static int printed = 0;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) { ++printed; });
    // What the requests to a host ended with, each said once.
    const auto lookups = [](const QString& host, int count, std::chrono::milliseconds idle, bool silent) {
        QUdpSocket resolver;
        EXPECT_TRUE(!silent || resolver.bind(QHostAddress::LocalHost, 53));
        QList<Ended> all;
        for (int i = 0; i < count; ++i)
            all << start("http://" + host + "/" + QString::number(i), { idle, 60s, 1000 });
        EXPECT_TRUE(allEnded(all));
        QSet<QString> said;
        for (const Ended& ended : all)
            said << DownloadFailure::of(ended->value_or(Download::Outcome {})).value_or("");
        return said.values();
    };
    const QStringList offline { "The network cannot be reached." };
    EXPECT_EQ(lookups("data.corvanta.test", 6, 60s, false), offline);
    EXPECT_EQ(lookups("data.corvanta.test", 2, 1s, true), offline);

    if (std::system("ip link add v0 type veth peer name v1 && ip link set v0 up && ip link set v1 up "
                    "&& ip addr add 10.9.9.9/24 dev v0")
        != 0)
        GTEST_SKIP() << "no network interface could be made for the lookup";
    ASSERT_TRUE(
        waitUntil([] { return QNetworkInterface::interfaceFromName("v0").flags() & QNetworkInterface::IsRunning; }));
    EXPECT_EQ(lookups("feeds.corvanta.test", 1, 500ms, true),
              QStringList { "No answer from feeds.corvanta.test within 500 ms." });
    EXPECT_EQ(lookups("feeds.corvanta.test", 6, 60s, false),
              QStringList { "The address of feeds.corvanta.test was not found." });
    qputenv("http_proxy", "proxy.corvanta.test:3128");
    EXPECT_EQ(lookups("feeds.corvanta.test", 1, 60s, false),
              QStringList { "The name of the proxy at proxy.corvanta.test:3128 was not found." });
    qunsetenv("http_proxy");
    EXPECT_EQ(printed, 0);
    // Not waiting at the exit for the lookups the silent resolver held.
    std::fflush(stdout);
    std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
}
