#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <list>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

// A server on 127.0.0.1 that answers each of `connections` connections with
// `head`, then `filler` over and over, `pauseMs` apart, until the client
// closes it (or, with `fillerBytes`, until that much of it went: then it
// ends its side and waits for the client to close, or resets it with
// `reset`, or with `holdOpen` keeps silent until the client closes);
// counting the bytes it got rid of, the longest silence it left a client
// in, and noting when the last client closed. For answers without end in
// their head, framing or body. Given several answers, the n-th connection
// gets the n-th (the last one those after it), each send at most `piece`
// bytes, `pauseMs` apart.
class HostilePeer {
public:
    struct Answer {
        QByteArray head, filler;
        qint64 fillerBytes = -1;
        bool reset = false; // the connection ends in a reset, not a close
        bool holdOpen = false;
    };
    HostilePeer(QByteArray head, QByteArray filler, int pauseMs, int connections = 1, qint64 fillerBytes = -1);
    HostilePeer(QList<Answer> answers, int pauseMs, int connections, qsizetype piece = 1 << 16);
    ~HostilePeer();

    QString url() const { return m_url; }
    qint64 sent() const { return m_sent; }
    std::chrono::steady_clock::time_point closedAt() const { return m_closedAt; }
    bool allClosed() const { return m_open == 0; }
    // Connections taken, and those not yet closed.
    int accepted() const { return m_accepted; }
    int serving() const { return m_serving; }
    // The longest time a connection had nothing from this server while the
    // client held it open, counted up to `stopClock`'s moment.
    std::chrono::steady_clock::duration longestGap() const { return m_longestGap; }
    void stopClock(std::chrono::steady_clock::time_point at) { m_clockStopped = at; }

    // `bytes` spaces in a content coding ("gzip", "deflate", "br", "zstd").
    static QByteArray bomb(const QByteArray& coding, qint64 bytes);

private:
    void answer(int client, const Answer& answer, int pauseMs, qsizetype piece);
    using Clock = std::chrono::steady_clock;
    // Until `until`, or false once the client closed; noting when it had all that was sent.
    static bool wait(int client, Clock::time_point until, std::optional<Clock::time_point>& emptied);
    void gap(Clock::time_point from, Clock::time_point to);

    int m_listener;
    QString m_url;
    std::thread m_acceptor;
    std::list<std::thread> m_servers;
    std::atomic<qint64> m_sent = 0;
    std::atomic<int> m_open;
    std::atomic<int> m_accepted = 0, m_serving = 0;
    std::atomic<std::chrono::steady_clock::time_point> m_closedAt;
    std::atomic<std::chrono::steady_clock::duration> m_longestGap {};
    std::atomic<std::chrono::steady_clock::time_point> m_clockStopped = std::chrono::steady_clock::time_point::max();
    // The connections not yet closed, shut when it goes: none waits for a client then.
    std::mutex m_lock;
    std::set<int> m_clients;
};
