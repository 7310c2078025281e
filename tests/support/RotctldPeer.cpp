#include "support/RotctldPeer.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

// Whether process `pid` holds a socket listening at `port` on 127.0.0.1.
// Only then is what answers there the daemon: another test may hold the
// port the daemon, started at the same moment, could not bind.
bool listensAt(qint64 pid, int port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (pid <= 0 || !table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    QSet<QByteArray> sockets; // "socket:[INODE]" of each listener there
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 9 && fields[1] == local && fields[3] == "0A")
            sockets.insert("socket:[" + fields[9] + ']');
    }
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        const ssize_t size = ::readlink(QFile::encodeName(fds + u'/' + fd).constData(), target, sizeof target - 1);
        if (size > 0 && sockets.contains(QByteArray(target, size)))
            return true;
    }
    return false;
}

} // namespace

int RotctldPeer::freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

RotctldPeer::RotctldPeer(int port)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("rotctld"));
    if (program.isEmpty())
        return;
    // The port may be taken between the probe and the daemon's bind; a few
    // attempts make that harmless.
    for (int attempt = 0; attempt < 3 && !m_ready; ++attempt) {
        m_port = port > 0 ? port : freePort();
        m_process.start(program,
                        { QStringLiteral("-m"),
                            QStringLiteral("1"),
                                           QStringLiteral("-T"),
                                                          QStringLiteral("127.0.0.1"),
                                                                         QStringLiteral("-t"),
                                                                                        QString::number(m_port) });
        if (!m_process.waitForStarted(5000))
            continue;
        for (int i = 0; i < 3000 && m_process.state() == QProcess::Running; ++i) { // 30 s at least
            if (listensAt(m_process.processId(), m_port)) {
                m_ready = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!m_ready) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

RotctldPeer::~RotctldPeer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
}
