#include "rotator/TCPLink.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace {

timeval sendTimeout(double seconds)
{
    // Zero would mean "wait forever" to the kernel, so a time-out under a
    // second keeps its fraction instead of being dropped to nothing.
    if (!(seconds > 0))
        return {};
    seconds = std::min(seconds, 1.0e7);
    timeval tv {};
    tv.tv_sec = time_t(seconds);
    if (tv.tv_sec == 0)
        tv.tv_usec = suseconds_t(std::max(1.0, std::floor(seconds * 1.0e6)));
    return tv;
}

} // namespace

TCPLink::TCPLink(int fd, double timeout)
    : FDLink(fd, timeout, true)
{
}

RotatorLinkResult<std::unique_ptr<TCPLink>> TCPLink::connect(const QString& host, int port, double timeout)
{
    // The resolver takes any number as a service and keeps its low 16 bits.
    if (port < 1 || port > 65535)
        return std::unexpected(RotatorLinkError::open(QStringLiteral("The rotctld port must be from 1 to 65535, not ")
                                                                     + QString::number(port)));
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(port);
    if (::getaddrinfo(host.toUtf8().constData(), service.constData(), &hints, &found) != 0 || !found) {
        if (found)
            ::freeaddrinfo(found);
        return std::unexpected(RotatorLinkError::open(QStringLiteral("Can't find ") + host));
    }

    const timeval tv = sendTimeout(timeout);
    int connected = -1;
    for (addrinfo* a = found; a && connected < 0; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0)
            connected = fd;
        else
            ::close(fd);
    }
    ::freeaddrinfo(found);

    if (connected < 0)
        return std::unexpected(RotatorLinkError::open(QStringLiteral("Can't connect to rotctld at ") + host
                                                                     + QStringLiteral(":") + QString::number(port)));
    return std::unique_ptr<TCPLink>(new TCPLink(connected, timeout));
}
