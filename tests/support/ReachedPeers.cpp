#include "support/ReachedPeers.h"

#include "support/Download.h"
#include "support/DownloadFailure.h"
#include "support/WaitUntil.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <curl/curl.h>

#include <atomic>
#include <thread>

ReachedPeers::ReachedPeers() = default;

ReachedPeers::~ReachedPeers() = default;

quint16 ReachedPeers::add(const QString& name, const QHostAddress& address)
{
    auto server = std::make_unique<QTcpServer>();
    if (!server->listen(address))
        return 0;
    QTcpServer* listening = server.get();
    QObject::connect(listening, &QTcpServer::newConnection, listening, [this, listening, name] {
        while (QTcpSocket* socket = listening->nextPendingConnection()) {
            m_reached << name;
            socket->abort();
            socket->deleteLater();
        }
    });
    m_servers.push_back(std::move(server));
    return listening->serverPort();
}

QStringList ReachedPeers::taken()
{
    QStringList names = std::exchange(m_reached, {});
    names.sort();
    names.removeDuplicates();
    return names;
}

QStringList ReachedPeers::byCurl(const QByteArray& url)
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
    // The listeners take their connections on this thread, meanwhile.
    waitUntil([&] { return done.load(); });
    transfer.join();
    return taken();
}

QStringList ReachedPeers::byDownload(const QByteArray& url, QString& said)
{
    // Outlives this call should the download outlive the wait.
    auto ended = std::make_shared<std::optional<Download::Outcome>>();
    using namespace std::chrono_literals;
    (new Download({ QUrl(url) }, { 10s, 60s, 1000 }, nullptr))->get([ended](const auto& outcome) { *ended = outcome; });
    waitUntil([&] { return ended->has_value(); });
    said = *ended ? DownloadFailure::of(**ended).value_or("") : QStringLiteral("no end");
    return taken();
}
