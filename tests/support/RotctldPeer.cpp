#include "support/RotctldPeer.h"

#include <QStandardPaths>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
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
            if (accepts(m_port)) {
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
