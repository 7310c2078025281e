// Where a request goes under the proxy variables, against where a plain
// libcurl transfer goes under the same.
#include "support/Download.h"
#include "support/DownloadFailure.h"
#include "support/TestEnvironment.h"
#include "support/WaitUntil.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <curl/curl.h>

#include <thread>

namespace {

// Named listeners on the loopback that note who was connected to and cut
// each connection at once, so a request ends soon whatever it began with.
struct ReachedPeers : QObject {
    QStringList reached;

    quint16 add(const QString& name, const QHostAddress& address)
    {
        auto* server = new QTcpServer(this);
        QObject::connect(server, &QTcpServer::newConnection, server, [this, server, name] {
            while (QTcpSocket* socket = server->nextPendingConnection()) {
                reached << name;
                socket->abort();
                socket->deleteLater();
            }
        });
        return server->listen(address) ? server->serverPort() : 0;
    }
    // Who was connected to since the last call, sorted, each once.
    QStringList taken()
    {
        QStringList names = std::exchange(reached, {});
        names.sort();
        names.removeDuplicates();
        return names;
    }
    // curl's own reading of the variables: a transfer with no option but the address.
    QStringList byCurl(const QByteArray& url)
    {
        std::atomic<bool> done = false;
        std::thread transfer([&] {
            CURL* easy = curl_easy_init();
            curl_easy_setopt(easy, CURLOPT_URL, url.constData());
            curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long(patientMs));
            curl_easy_perform(easy);
            curl_easy_cleanup(easy);
            done = true;
        });
        waitUntil([&] { return done.load(); }); // the listeners take their connections meanwhile
        transfer.join();
        return taken();
    }
    // The program's download, and the words of its failure.
    QStringList byDownload(const QByteArray& url, QString& said)
    {
        auto ended = std::make_shared<std::optional<Download::Outcome>>(); // should the download outlive the wait
        using namespace std::chrono_literals;
        (new Download({ QUrl(url) }, { 10s, 60s, 1000 }, nullptr))->get([ended](const auto& outcome) { *ended = outcome; });
        waitUntil([&] { return ended->has_value(); });
        said = *ended ? DownloadFailure::of(**ended).value_or("") : QStringLiteral("no end");
        return taken();
    }
};

} // namespace

TEST(DownloadProxyTest, EveryEnvironmentSendsTheRequestWhereCurlsOwnReadingSendsIt)
{
    ReachedPeers peers;
    const quint16 server = peers.add("server", QHostAddress::LocalHost);
    const quint16 server6 = peers.add("server", QHostAddress::LocalHostIPv6);
    const quint16 one = peers.add("P1", QHostAddress::LocalHost), two = peers.add("P2", QHostAddress::LocalHost);
    ASSERT_TRUE(server && server6 && one && two);
    // Each group: an address and what its environments begin with, then their ends; NAME=VALUE apart by ';'.
    const QList<QByteArray> table[] = {
        { "http://127.0.0.1 ", "http_proxy=P1", "HTTP_PROXY=P1", "http_proxy=P2;HTTP_PROXY=P1",
          "http_proxy=P1;all_proxy=P2", "http_proxy=;all_proxy=P1", "all_proxy=;ALL_PROXY=P1",
          "all_proxy=P1;ALL_PROXY=P2", "no_proxy=*;all_proxy=P1" },
        { "https://127.0.0.1 ", "https_proxy=;HTTPS_PROXY=P1", "https_proxy=;all_proxy=P1",
          "https_proxy=P1;HTTPS_PROXY=P2", "http_proxy=P1", "HTTPS_PROXY=P1;all_proxy=P2" },
        { "http://127.0.0.1 http_proxy=P1;no_proxy=", "*", "127.0.0.1", ";NO_PROXY=127.0.0.1",
          "localhost;NO_PROXY=127.0.0.1", "localhost,*", " *", "*,", "0.0.0.0/0", "127.0.0.0/0", "127.0.0.0/8",
          "127.0.0.1/32", "127.0.0.1/33", "127.0.0.0/31", "127.1", "localhost", "a 127.0.0.1",
          "a\t,, 127.0.0.2 ,127.0.0.1", "127.0.0.1." },
        { "http://localhost http_proxy=P1;no_proxy=", "localhost", ".LOCALHOST.", "host", "calhost", "127.0.0.1" },
        { "http://[::1] http_proxy=P1;no_proxy=", "::1", "::1/128", "0:0:0:0:0:0:0:1", "[::1]", "::/0", "x ::1" },
        { "http://127.0.0.1 http_proxy=", " http://P1", "http://P1 ", "P1", "socks5://P1", "HTTP://P1", "https://P1",
          "http://P1/path", "ftp://P1", "http://corvanta:pa@ss@P1", "http://corvanta:pa#ss@P1",
          "http://corvanta:pa/ss@P1", "http://corvanta:12/ss@P1", "http://corvanta:12#s@P1", "http://co%01rvanta:pw@P1", "http://corvanta:pw@P1", "127.0.0.1:99999",
          "http://[P1" },
    };
    for (const QList<QByteArray>& group : table) {
        const QByteArray at = group[0].left(group[0].indexOf(' ')), common = group[0].mid(at.size() + 1);
        for (const QByteArray& end : group.mid(1)) {
            QByteArray environment = common + end;
            TestEnvironment::setProxies(environment.replace("P1", "127.0.0.1:" + QByteArray::number(one))
                                            .replace("P2", "127.0.0.1:" + QByteArray::number(two)));
            const QByteArray url = at + ':' + QByteArray::number(at.contains("::") ? server6 : server) + "/feed";
            const QStringList curls = peers.byCurl(url);
            QString said;
            EXPECT_EQ(peers.byDownload(url, said), curls) << at.constData() << " with " << environment.constData();
            // Where curl connects nowhere, it does not take the setting: named so, never shown.
            EXPECT_TRUE(!curls.isEmpty()
                        || said == "The proxy set in " + environment.split('=')[0] + " cannot be used.")
                << said.toStdString();
        }
    }
    TestEnvironment::clearProxies();
}
