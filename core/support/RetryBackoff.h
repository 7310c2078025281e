#pragma once

#include <QHash>
#include <QString>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>

// Remembers what failed, by key, so it is not tried again at once: after a
// failure the key waits 30 s before the next try, and each failure after
// that doubles the wait, up to 30 minutes. While a key waits its last
// failure stands in for a new try. A success forgets the key; clear()
// forgets them all.
//
// Without it a failure that is asked for again at every repaint (a crashing
// engine, a data file the server does not have) is retried as fast as the
// map repaints. Not thread-safe: one owner thread.
template <typename Failure>
class RetryBackoff {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::chrono::milliseconds firstWait = std::chrono::seconds(30);
    static constexpr std::chrono::milliseconds longestWait = std::chrono::minutes(30);

    // The keys whose wait is over are dropped once this many are kept.
    static constexpr qsizetype pruneAbove = 256;

    explicit RetryBackoff(Clock clock = &std::chrono::steady_clock::now)
        : m_clock(std::move(clock))
    {
    }

    // Tests move time along without waiting.
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // The key's last failure while its wait lasts; none once it may be
    // tried again (or never failed).
    std::optional<Failure> waiting(const QString& key) const
    {
        const auto found = m_entries.constFind(key);
        if (found == m_entries.constEnd() || m_clock() >= found->until)
            return std::nullopt;
        return found->failure;
    }

    void failed(const QString& key, const Failure& failure)
    {
        const auto now = m_clock();
        if (m_entries.size() >= pruneAbove)
            m_entries.removeIf([now](const auto& item) { return now >= item.value().until; });
        const auto found = m_entries.constFind(key);
        const std::chrono::milliseconds wait
            = found == m_entries.constEnd() ? firstWait : std::min(found->wait * 2, longestWait);
        m_entries.insert(key, Entry { failure, now + wait, wait });
    }

    void succeeded(const QString& key) { m_entries.remove(key); }
    void clear() { m_entries.clear(); }
    bool isEmpty() const { return m_entries.isEmpty(); }

private:
    struct Entry {
        Failure failure;
        std::chrono::steady_clock::time_point until;
        std::chrono::milliseconds wait;
    };

    Clock m_clock;
    QHash<QString, Entry> m_entries;
};
