#include "support/ClusterNodePeer.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A listener on the port with room for one connection in its queue; once a
// connection fills it, the system drops every further handshake unanswered.
int listenWithoutRoom(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = loopback(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Connects to the port and waits until the handshake is done (at most 2 s).
int fillQueue(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    const sockaddr_in address = loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    pollfd p { fd, POLLOUT, 0 };
    ::poll(&p, 1, 2000);
    return fd;
}

QString hhmm(const QTime& time) { return time.toString(QStringLiteral("HHmm")) + u'Z'; }

} // namespace

ClusterNodePeer::ClusterNodePeer() = default;

ClusterNodePeer::~ClusterNodePeer()
{
    if (!m_context)
        return;
    onNodeThread([this] {
        stopIgnoring();
        delete m_context; // the server and every connection with it
        m_context = nullptr;
    });
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
    }
}

void ClusterNodePeer::onNodeThread(const std::function<void()>& job)
{
    if (m_thread && QThread::currentThread() != m_thread.get())
        QMetaObject::invokeMethod(m_context, job, Qt::BlockingQueuedConnection);
    else
        job();
}

bool ClusterNodePeer::listen(bool ownThread)
{
    if (ownThread) {
        m_thread = std::make_unique<QThread>();
        m_thread->start();
    }
    m_context = new QObject;
    if (m_thread)
        m_context->moveToThread(m_thread.get());
    onNodeThread([this] {
        m_server = new QTcpServer(m_context);
        connect(m_server, &QTcpServer::newConnection, m_context, [this] { accept(); });
        startAnswering();
    });
    return m_port != 0;
}

QString ClusterNodePeer::address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

void ClusterNodePeer::startAnswering()
{
    if (m_server->listen(QHostAddress::LocalHost, m_port))
        m_port = m_server->serverPort();
}

void ClusterNodePeer::stopAnswering() { m_server->close(); }

void ClusterNodePeer::startIgnoring()
{
    m_silentListener = listenWithoutRoom(m_port);
    if (m_silentListener >= 0)
        m_filler = fillQueue(m_port);
}

void ClusterNodePeer::stopIgnoring()
{
    for (int* fd : { &m_filler, &m_silentListener }) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void ClusterNodePeer::setBehaviour(Behaviour behaviour)
{
    onNodeThread([this, behaviour] {
        if (behaviour == m_behaviour)
            return;
        if (m_behaviour == Behaviour::answer)
            stopAnswering();
        else if (m_behaviour == Behaviour::neverAnswer)
            stopIgnoring();
        m_behaviour = behaviour;
        if (behaviour == Behaviour::answer)
            startAnswering();
        else if (behaviour == Behaviour::neverAnswer)
            startIgnoring();
    });
}

void ClusterNodePeer::setGreeting(const QByteArray& bytes)
{
    QMutexLocker lock(&m_mutex);
    m_greeting = bytes;
}

void ClusterNodePeer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        QByteArray greeting;
        int index = 0;
        {
            QMutexLocker lock(&m_mutex);
            index = int(m_received.size());
            m_received.append(QByteArray());
            m_open.append(socket);
            greeting = m_greeting;
        }
        connect(socket, &QTcpSocket::readyRead, m_context, [this, socket, index] {
            const QByteArray bytes = socket->readAll();
            QMutexLocker lock(&m_mutex);
            m_received[index] += bytes;
        });
        if (!greeting.isEmpty())
            socket->write(greeting);
        Q_EMIT clientConnected(index);
    }
}

void ClusterNodePeer::send(const QByteArray& bytes)
{
    onNodeThread([this, bytes] {
        QPointer<QTcpSocket> newest;
        {
            QMutexLocker lock(&m_mutex);
            for (const QPointer<QTcpSocket>& socket : std::as_const(m_open))
                if (socket && socket->state() == QAbstractSocket::ConnectedState)
                    newest = socket;
        }
        if (newest) {
            newest->write(bytes);
            newest->flush();
        }
    });
}

void ClusterNodePeer::closeConnections()
{
    onNodeThread([this] {
        QList<QPointer<QTcpSocket>> open;
        {
            QMutexLocker lock(&m_mutex);
            open = std::exchange(m_open, {});
        }
        for (const QPointer<QTcpSocket>& socket : open)
            if (socket)
                socket->disconnectFromHost();
    });
}

int ClusterNodePeer::connectionCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_received.size());
}

QByteArray ClusterNodePeer::receivedBytes(int connection) const
{
    QMutexLocker lock(&m_mutex);
    return m_received.value(connection);
}

QStringList ClusterNodePeer::receivedLines(int connection) const
{
    QList<QByteArray> pieces = receivedBytes(connection).split('\n');
    pieces.removeLast(); // what follows the last line feed is no complete line
    QStringList lines;
    for (const QByteArray& piece : pieces)
        lines << (piece.endsWith('\r') ? QString::fromUtf8(piece.chopped(1))
                                       : QString::fromUtf8(piece) + QStringLiteral("<no CR>"));
    return lines;
}

QByteArray ClusterNodePeer::liveSpot(const QString& spotter, double kHz, const QString& call, const QString& comment,
                                     const QTime& time)
{
    const QString line = QStringLiteral("DX de %1:").arg(spotter).leftJustified(15) + u' ' + QString::number(kHz, 'f', 1).rightJustified(9)
        + QStringLiteral("  ") + call.leftJustified(13) + comment.leftJustified(31) + hhmm(time);
    return line.toUtf8() + "\a\a\r\n";
}

QByteArray ClusterNodePeer::historySpot(double kHz, const QString& call, const QDateTime& time, const QString& comment,
                                        const QString& spotter)
{
    const QDateTime utc = time.toUTC();
    const QString line = QString::number(kHz, 'f', 1).rightJustified(10)
        + QStringLiteral("  ") + call.leftJustified(12) + u' '
                         + utc.date().toString(QStringLiteral("d-MMM-yyyy")) + u' ' + hhmm(utc.time())
                                               + QStringLiteral("  ") + comment.leftJustified(30)
                                                                + QStringLiteral(" <") + spotter + u'>';
    return line.toUtf8() + "\r\n";
}

QByteArray ClusterNodePeer::negotiation()
{
    return QByteArrayLiteral("\xff\xfb\x01\xff\xfb\x03\xff\xfd\x18\xff\xfa\x18\x01\xff\xf0");
}
