#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTcpServer;

// Named listeners on the loopback that note which of them a client connected
// to, and cut each connection at once, so that a request to any of them ends
// soon whatever it began with (a request, a CONNECT, a TLS or SOCKS greeting).
// For where a request went: straight to the server, or through which proxy.
class ReachedPeers {
public:
    ReachedPeers();
    ~ReachedPeers();

    // Listens as `name` at `address`; its port, 0 where none could be had.
    quint16 add(const QString& name, const QHostAddress& address);
    // The names connected to since the last call, each once, sorted.
    QStringList taken();
    // Those a plain libcurl transfer of `url` connected to, with no option
    // but the address: curl's own reading of the proxy variables.
    QStringList byCurl(const QByteArray& url);
    // Those the program's download of `url` connected to, and the words of
    // its failure, if it failed.
    QStringList byDownload(const QByteArray& url, QString& said);

private:
    std::vector<std::unique_ptr<QTcpServer>> m_servers;
    QStringList m_reached;
};
