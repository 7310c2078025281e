// Where a request goes under the proxy variables, against where a plain
// libcurl transfer goes under the same: local listeners stand for the server
// and two proxies, and note who was connected to.
#include "support/Download.h"
#include "support/DownloadFailure.h"
#include "support/ReachedPeers.h"
#include "support/TestEnvironment.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(DownloadProxyTest, EveryEnvironmentSendsTheRequestWhereCurlsOwnReadingSendsIt)
{
    ReachedPeers peers;
    const quint16 server = peers.add("server", QHostAddress::LocalHost);
    const quint16 server6 = peers.add("server", QHostAddress::LocalHostIPv6);
    const quint16 one = peers.add("P1", QHostAddress::LocalHost), two = peers.add("P2", QHostAddress::LocalHost);
    ASSERT_TRUE(server && server6 && one && two);
    // An address, what each of its environments begins with, and their ends:
    // NAME=VALUE apart by ';', where P1 and P2 stand for the proxies.
    const std::tuple<QByteArray, QByteArray, QList<QByteArray>> table[] = {
        { "http://127.0.0.1",
          "",
          { "http_proxy=P1", "HTTP_PROXY=P1", "http_proxy=P2;HTTP_PROXY=P1", "http_proxy=P1;all_proxy=P2",
            "http_proxy=;all_proxy=P1", "all_proxy=;ALL_PROXY=P1", "all_proxy=P1;ALL_PROXY=P2",
            "no_proxy=*;all_proxy=P1" } },
        { "https://127.0.0.1",
          "",
          { "https_proxy=;HTTPS_PROXY=P1", "https_proxy=;all_proxy=P1", "https_proxy=P1;HTTPS_PROXY=P2",
            "http_proxy=P1", "HTTPS_PROXY=P1;all_proxy=P2" } },
        { "http://127.0.0.1",
          "http_proxy=P1;no_proxy=",
          { "*", "127.0.0.1", ";NO_PROXY=127.0.0.1", "localhost;NO_PROXY=127.0.0.1", "localhost,*", " *", "*,",
            "0.0.0.0/0", "127.0.0.0/0", "127.0.0.0/8", "127.0.0.1/32", "127.0.0.1/33", "127.0.0.0/31", "127.1",
            "localhost", "a 127.0.0.1", "a\t,, 127.0.0.2 ,127.0.0.1", "127.0.0.1." } },
        { "http://localhost",
          "http_proxy=P1;no_proxy=",
          { "localhost", ".LOCALHOST.", "host", "calhost", "127.0.0.1" } },
        { "http://[::1]",
          "http_proxy=P1;no_proxy=",
          { "::1", "::1/128", "0:0:0:0:0:0:0:1", "[::1]", "::/0", "x ::1" } },
        { "http://127.0.0.1",
          "http_proxy=",
          { " http://P1", "http://P1 ", "P1", "socks5://P1", "HTTP://P1", "https://P1", "http://P1/path", "ftp://P1",
            "http://corvanta:pa@ss@P1", "http://corvanta:pa#ss@P1", "http://corvanta:pa/ss@P1",
            "http://co%01rvanta:pw@P1", "http://corvanta:pw@P1", "127.0.0.1:99999", "http://[P1" } },
    };
    for (const auto& [at, common, ends] : table) {
        for (const QByteArray& end : ends) {
            TestEnvironment::clearProxies();
            const QByteArray environment = common + end;
            for (const QByteArray& setting : environment.split(';')) {
                const QByteArray name = setting.left(setting.indexOf('='));
                QByteArray value = setting.mid(name.size() + 1);
                qputenv(name.constData(),
                        value.replace("P1", "127.0.0.1:" + QByteArray::number(one))
                            .replace("P2", "127.0.0.1:" + QByteArray::number(two)));
            }
            const QByteArray url = at + ':' + QByteArray::number(at.contains("::") ? server6 : server) + "/feed";
            const QStringList curls = peers.byCurl(url);
            std::optional<Download::Outcome> ended;
            (new Download({ QUrl(url) }, { 10s, 60s, 1000 }, nullptr))->get([&](const auto& outcome) {
                ended = outcome;
            });
            ASSERT_TRUE(waitUntil([&] { return ended.has_value(); }));
            const QString row = at + " with " + environment;
            EXPECT_EQ(peers.taken(), curls) << row.toStdString();
            // Where curl connects nowhere, it does not take the setting: named, never shown.
            if (curls.isEmpty()) {
                const QString variable = environment.left(environment.indexOf('='));
                EXPECT_EQ(DownloadFailure::of(*ended).value_or(""),
                          QStringLiteral("The proxy set in %1 cannot be used.").arg(variable)) << row.toStdString();
            }
        }
    }
    TestEnvironment::clearProxies();
}
