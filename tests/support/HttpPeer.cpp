#include "support/HttpPeer.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// One connection: reads one request, then answers as its route says.
class Exchange : public QObject {
public:
    using Lookup = std::function<HttpPeer::Response(const HttpPeer::Request&)>;

    Exchange(QTcpSocket* socket, Lookup lookup)
        : QObject(socket)
        , m_socket(socket)
        , m_lookup(std::move(lookup))
    {
        connect(socket, &QTcpSocket::readyRead, this, [this] { read(); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

private:
    void read()
    {
        if (m_answered)
            return;
        m_buffer += m_socket->readAll();
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        HttpPeer::Request request;
        const QList<QByteArray> lines = m_buffer.left(end).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        request.path = request.target.left(request.target.indexOf('?') < 0 ? request.target.size()
                                                                           : request.target.indexOf('?'));
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (m_buffer.size() - (end + 4) < length)
            return; // the body is still coming
        request.body = m_buffer.mid(end + 4, length);
        m_answered = true;

        const HttpPeer::Response response = m_lookup(request);
        if (response.stall)
            return;
        if (response.hangUp) {
            m_socket->disconnectFromHost();
            return;
        }
        const qint64 announced = response.announcedLength >= 0 ? response.announcedLength : response.body.size();
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status)
            + "\r\nContent-Type: " + response.contentType + "\r\n"
            + (response.unannounced ? QByteArray() : "Content-Length: " + QByteArray::number(announced) + "\r\n")
            + "Connection: close\r\n";
        for (const auto& [name, value] : response.headers)
            head += name + ": " + value + "\r\n";
        head += "\r\n";
        const bool stalls = response.stallAfter >= 0;
        const QByteArray body = response.cutAfter >= 0 ? response.body.left(response.cutAfter)
            : stalls                                   ? response.body.left(response.stallAfter)
                                                       : response.body;
        const auto send
            = [this, socket = QPointer<QTcpSocket>(m_socket), head, body, trickleMs = response.trickleMs, stalls] {
                  if (!socket)
                      return;
                  if (trickleMs > 0) {
                      socket->write(head);
                      trickle(body, trickleMs);
                      return;
                  }
                  socket->write(head + body);
                  if (!stalls)
                      socket->disconnectFromHost();
              };
        if (response.delayMs > 0)
            QTimer::singleShot(response.delayMs, m_socket, send);
        else
            send();
    }

    // One byte now, the rest later; the connection closes after the last.
    void trickle(QByteArray rest, int intervalMs)
    {
        if (rest.isEmpty()) {
            m_socket->disconnectFromHost();
            return;
        }
        m_socket->write(rest.left(1));
        QTimer::singleShot(intervalMs, this, [this, rest = rest.mid(1), intervalMs] { trickle(rest, intervalMs); });
    }

    QTcpSocket* m_socket;
    Lookup m_lookup;
    QByteArray m_buffer;
    bool m_answered = false;
};

} // namespace

HttpPeer::HttpPeer() { m_others.status = 404; }

HttpPeer::~HttpPeer()
{
    if (m_thread) {
        QMetaObject::invokeMethod(
            m_server, [server = m_server] { delete server; }, Qt::BlockingQueuedConnection);
        m_thread->quit();
        m_thread->wait();
    } else {
        delete m_server;
    }
}

bool HttpPeer::listen(bool ownThread)
{
    const auto start = [this] {
        m_server = new QTcpServer;
        connect(m_server, &QTcpServer::newConnection, m_server, [this] { accept(); });
        if (m_server->listen(QHostAddress::LocalHost, 0))
            m_port = m_server->serverPort();
    };
    if (!ownThread) {
        start();
        return m_port != 0;
    }
    m_thread = std::make_unique<QThread>();
    m_thread->start();
    QObject context;
    context.moveToThread(m_thread.get());
    QMetaObject::invokeMethod(&context, start, Qt::BlockingQueuedConnection);
    return m_port != 0;
}

QString HttpPeer::base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

void HttpPeer::serve(const QByteArray& path, const Response& response)
{
    QMutexLocker lock(&m_mutex);
    m_routes.insert(path, response);
}

void HttpPeer::serve(const QByteArray& path, int status, const QByteArray& body)
{
    Response response;
    response.status = status;
    response.body = body;
    serve(path, response);
}

void HttpPeer::serveOthers(const Response& response)
{
    QMutexLocker lock(&m_mutex);
    m_others = response;
}

QList<HttpPeer::Request> HttpPeer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

int HttpPeer::count(const QByteArray& path) const
{
    QMutexLocker lock(&m_mutex);
    return int(std::count_if(m_requests.cbegin(), m_requests.cend(),
                             [&](const Request& request) { return request.path == path; }));
}

void HttpPeer::clearRequests()
{
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
}

HttpPeer::Response HttpPeer::responseFor(const QByteArray& path) const
{
    QMutexLocker lock(&m_mutex);
    return m_routes.value(path, m_others);
}

void HttpPeer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        new Exchange(socket, [this](const Request& request) {
            {
                QMutexLocker lock(&m_mutex);
                m_requests.append(request);
            }
            Q_EMIT requestReceived(request.path);
            return responseFor(request.path);
        });
    }
}
