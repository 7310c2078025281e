#include "support/HostilePeer.h"

#include "support/LoopbackListener.h"

#include <brotli/encode.h>
#include <zlib.h>

#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

HostilePeer::HostilePeer(QByteArray head, QByteArray filler, int pauseMs, int connections, qint64 fillerBytes)
    : HostilePeer({ { std::move(head), std::move(filler), fillerBytes } }, pauseMs, connections)
{
}

HostilePeer::HostilePeer(QList<Answer> answers, int pauseMs, int connections, qsizetype piece)
    : m_open(connections)
{
    int port = 0;
    m_listener = listenOnLoopback(connections, port);
    m_url = QString("http://127.0.0.1:%1/").arg(port);
    m_acceptor = std::thread([=, this] {
        for (int i = 0; i < connections; ++i) {
            const int client = accept(m_listener, nullptr, nullptr);
            if (client < 0)
                return;
            {
                const std::lock_guard hold(m_lock);
                m_clients.insert(client);
            }
            ++m_accepted, ++m_serving;
            m_servers.emplace_back(
                [=, this] { answer(client, answers.at(std::min<qsizetype>(i, answers.size() - 1)), pauseMs, piece); });
        }
    });
}

void HostilePeer::answer(int client, const Answer& answer, int pauseMs, qsizetype piece)
{
    QByteArray request(1 << 16, 0);
    recv(client, request.data(), request.size(), 0);
    // Since when the client has had all that was sent (received, if not yet
    // read), if it has: the silence it is left in.
    std::optional<Clock::time_point> emptied;
    const auto put = [&](const char* bytes, qint64 size) {
        if (emptied)
            gap(*emptied, Clock::now());
        const ssize_t n = send(client, bytes, std::size_t(std::min<qint64>(size, piece)), MSG_NOSIGNAL);
        emptied.reset();
        m_sent += std::max<ssize_t>(n, 0);
        return n;
    };
    const auto pause = [&] { return wait(client, Clock::now() + std::chrono::milliseconds(pauseMs), emptied); };
    bool open = true;
    for (qsizetype at = 0; open && at < answer.head.size(); at += piece) {
        if (at > 0)
            open = pause();
        open = open && put(answer.head.constData() + at, answer.head.size() - at) >= 0;
    }
    qint64 left = answer.fillerBytes < 0 ? std::numeric_limits<qint64>::max() : answer.fillerBytes;
    for (qsizetype at = 0; open && left > 0 && !answer.filler.isEmpty();) {
        const ssize_t n
            = pause() ? put(answer.filler.constData() + at, std::min<qint64>(answer.filler.size() - at, left)) : -1;
        open = n >= 0;
        left -= std::max<ssize_t>(n, 0);
        at = (at + std::max<ssize_t>(n, 0)) % answer.filler.size();
    }
    // All sent: the client reads the end of the answer (or, held open,
    // silence), and closes when it is done with it.
    if (open && answer.holdOpen) {
        wait(client, Clock::time_point::max(), emptied);
        if (emptied)
            gap(*emptied, Clock::now());
    } else if (open && !answer.reset) {
        shutdown(client, SHUT_WR);
        while (recv(client, request.data(), request.size(), 0) > 0) { }
    }
    m_closedAt = Clock::now();
    --m_open;
    if (answer.reset) {
        const linger now { 1, 0 };
        setsockopt(client, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    }
    {
        const std::lock_guard hold(m_lock);
        m_clients.erase(client);
        close(client);
    }
    --m_serving;
}

bool HostilePeer::wait(int client, Clock::time_point until, std::optional<Clock::time_point>& emptied)
{
    char byte = 0;
    for (;;) {
        const Clock::time_point now = Clock::now();
        int queued = 0;
        if (!emptied && ioctl(client, SIOCOUTQ, &queued) == 0 && queued == 0)
            emptied = now;
        if (now >= until)
            return true;
        pollfd readable { client, POLLIN, 0 };
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now);
        if (poll(&readable, 1, int(std::min<std::chrono::milliseconds::rep>(left.count(), 1))) > 0) {
            const ssize_t n = recv(client, &byte, 1, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                return false;
        }
    }
}

void HostilePeer::gap(Clock::time_point from, Clock::time_point to)
{
    const auto stopped = m_clockStopped.load();
    if (from >= stopped)
        return;
    const auto length = std::min(to, stopped) - from;
    for (auto longest = m_longestGap.load();
         length > longest && !m_longestGap.compare_exchange_weak(longest, length);) { }
}

HostilePeer::~HostilePeer()
{
    shutdown(m_listener, SHUT_RDWR); // no more waiting for connections that never came
    m_acceptor.join();
    {
        const std::lock_guard hold(m_lock);
        for (const int client : m_clients)
            shutdown(client, SHUT_RDWR);
    }
    for (std::thread& server : m_servers)
        server.join();
    close(m_listener);
}

QByteArray HostilePeer::bomb(const QByteArray& coding, qint64 bytes)
{
    const QByteArray spaces(1 << 20, ' ');
    QByteArray out;
    if (coding == "zstd") {
        // A frame of run-length blocks of 128 KiB, 4 bytes each.
        out = QByteArray::fromHex("28b52ffd0038");
        for (qint64 left = bytes; left > 0; left -= 1 << 17) {
            const quint32 block = quint32(std::min<qint64>(left, 1 << 17)) << 3 | 1 << 1 | (left <= 1 << 17);
            out += char(block), out += char(block >> 8), out += char(block >> 16), out += ' ';
        }
    } else if (coding == "br") {
        const QByteArray whole(bytes, ' ');
        std::size_t size = BrotliEncoderMaxCompressedSize(whole.size());
        out.resize(qsizetype(size));
        BrotliEncoderCompress(5, 22, BROTLI_MODE_GENERIC, whole.size(), reinterpret_cast<const uint8_t*>(whole.data()),
                              &size, reinterpret_cast<uint8_t*>(out.data()));
        out.resize(qsizetype(size));
    } else { // zlib's own stream ("deflate") or its gzip wrapping, never finished
        z_stream z {};
        deflateInit2(&z, 9, Z_DEFLATED, coding == "gzip" ? 31 : 15, 9, Z_DEFAULT_STRATEGY);
        Bytef buffer[1 << 16];
        // After a full flush nothing refers back: each megabyte packs alike.
        const auto megabyte = [&] {
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(spaces.constData()));
            z.avail_in = uInt(spaces.size());
            z.next_out = buffer;
            z.avail_out = sizeof buffer;
            deflate(&z, Z_FULL_FLUSH);
            return QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(sizeof buffer - z.avail_out));
        };
        out = megabyte();
        out += megabyte().repeated(qsizetype(bytes >> 20) - 1);
        deflateEnd(&z);
    }
    return out;
}
