#pragma once

#include <QMutex>
#include <QMutexLocker>

#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

// One costly value kept under the key it was made for (a CacheKey), shared
// by every view and thread: the MUF field, grid and contours, the aurora,
// MUF and coverage images. A request under another key makes a new value,
// which replaces the entry. The lock is never held while a value is made:
// two threads asking at once for a new key may both make it, and the later
// one stays.
template <typename T>
class OneEntryCache {
public:
    // The value under `key`: the kept one, else make()'s. `make` returns a
    // T, or a std::optional<T> whose none means it failed: the entry then
    // stays as it was and the caller gets none.
    template <typename Make>
    std::invoke_result_t<Make&> get(std::uint64_t key, Make&& make)
    {
        {
            QMutexLocker lock(&m_mutex);
            if (m_entry && m_entry->first == key)
                return m_entry->second;
        }
        std::invoke_result_t<Make&> made = make();
        if constexpr (std::is_same_v<decltype(made), std::optional<T>>) {
            if (made)
                keep(key, *made);
        } else {
            keep(key, made);
        }
        return made;
    }

    // How many values were made and kept in this process (for tests).
    int builds() const
    {
        QMutexLocker lock(&m_mutex);
        return m_builds;
    }

private:
    void keep(std::uint64_t key, const T& value)
    {
        QMutexLocker lock(&m_mutex);
        m_entry = { key, value };
        ++m_builds;
    }

    mutable QMutex m_mutex;
    std::optional<std::pair<std::uint64_t, T>> m_entry;
    int m_builds = 0;
};
