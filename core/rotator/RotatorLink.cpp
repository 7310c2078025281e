#include "rotator/RotatorLink.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>

namespace {

using Clock = RotatorLink::Clock;

constexpr int readChunk = 256;
constexpr int maxReadsAtOnce = 64;

// Whole milliseconds left to a deadline, truncated; 0 or less when passed.
qint64 millisecondsLeft(Clock::time_point deadline)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
}

int pollMilliseconds(qint64 ms) { return int(std::clamp<qint64>(ms, 0, std::numeric_limits<int>::max())); }

} // namespace

Clock::time_point RotatorLink::deadlineAfter(double seconds)
{
    if (!(seconds > 0))
        seconds = 0;
    seconds = std::min(seconds, 1.0e7);
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

QString RotatorLinkError::message() const
{
    switch (kind) {
    case Kind::Open:
        return text;
    case Kind::NotUnderstood:
        return QStringLiteral("The controller's answer \"") + text
                              + QStringLiteral("\" doesn't fit this protocol. Check the protocol and the serial port.");
    case Kind::NoAnswer:
        return QStringLiteral("The rotator controller doesn't answer");
    case Kind::Closed:
        return QStringLiteral("The connection was closed");
    }
    return {};
}

FDLink::FDLink(int fd, double writeTimeout, bool isSocket)
    : m_fd(fd)
    , m_writeTimeout(writeTimeout)
    , m_isSocket(isSocket)
{
}

FDLink::~FDLink() { close(); }

void FDLink::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

long FDLink::writeSome(const char* data, size_t size)
{
    // Sockets say "closed" through the return value, never through SIGPIPE,
    // which would end the whole application.
    if (m_isSocket)
        return ::send(m_fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    return ::write(m_fd, data, size);
}

RotatorLinkResult<void> FDLink::write(const QString& text)
{
    if (m_fd < 0)
        return std::unexpected(RotatorLinkError::closed());
    const QByteArray bytes = text.toUtf8();
    const auto deadline = deadlineAfter(m_writeTimeout);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const long n = writeSome(bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return std::unexpected(RotatorLinkError::closed());
        // No room for now: wait until the peer takes bytes again, but not
        // beyond the time-out; a peer that never does counts as gone.
        for (;;) {
            const qint64 left = millisecondsLeft(deadline);
            if (left <= 0)
                return std::unexpected(RotatorLinkError::closed());
            pollfd p { m_fd, POLLOUT, 0 };
            const int r = ::poll(&p, 1, pollMilliseconds(left));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0 || !(p.revents & POLLOUT))
                return std::unexpected(RotatorLinkError::closed());
            break;
        }
    }
    return {};
}

RotatorLinkResult<bool> FDLink::fill(int waitMs)
{
    pollfd p { m_fd, POLLIN, 0 };
    const int r = ::poll(&p, 1, waitMs);
    if (r < 0)
        return errno == EINTR ? RotatorLinkResult<bool>(false) : std::unexpected(RotatorLinkError::closed());
    if (r == 0)
        return false;
    char chunk[readChunk];
    const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
    if (n == 0)
        return std::unexpected(RotatorLinkError::closed());
    if (n < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
            return false;
        return std::unexpected(RotatorLinkError::closed());
    }
    m_buffer.append(chunk, n);
    if (m_buffer.size() > bufferCap)
        m_buffer.remove(0, m_buffer.size() - bufferCap);
    return true;
}

std::optional<QString> FDLink::nextLine(quint8 terminator)
{
    for (;;) {
        if (m_buffer.isEmpty())
            return std::nullopt;
        qsizetype end = -1;
        for (qsizetype i = 0; i < m_buffer.size(); ++i) {
            const auto byte = quint8(m_buffer[i]);
            if (byte == terminator || (terminator == 13 && byte == 10)) {
                end = i;
                break;
            }
        }
        if (end < 0)
            return std::nullopt;
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        // The second half of a CR LF pair, or two terminators in a row.
        if (line.isEmpty())
            continue;
        return QString::fromUtf8(line);
    }
}

RotatorLinkResult<std::optional<QString>> FDLink::readLine(quint8 terminator, double timeout)
{
    const auto deadline = deadlineAfter(timeout);
    for (;;) {
        if (auto line = nextLine(terminator))
            return line;
        if (m_fd < 0)
            return std::unexpected(RotatorLinkError::closed());
        const qint64 left = millisecondsLeft(deadline);
        if (deadline <= Clock::now())
            return std::optional<QString>();
        auto filled = fill(pollMilliseconds(std::max<qint64>(left, 1)));
        if (!filled)
            return std::unexpected(filled.error());
    }
}

RotatorLinkResult<QStringList> FDLink::readAvailableLines(quint8 terminator)
{
    if (m_fd < 0)
        return std::unexpected(RotatorLinkError::closed());
    for (int i = 0; i < maxReadsAtOnce; ++i) {
        auto filled = fill(0);
        if (!filled)
            return std::unexpected(filled.error());
        if (!*filled)
            break;
    }
    QStringList lines;
    while (auto line = nextLine(terminator))
        lines.append(*line);
    return lines;
}

QString FDLink::takeUnterminated()
{
    const QString text = QString::fromUtf8(m_buffer);
    m_buffer.clear();
    return text;
}
