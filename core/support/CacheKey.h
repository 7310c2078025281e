#pragma once

#include <QDateTime>
#include <QString>

#include <bit>
#include <cstdint>
#include <optional>
#include <span>

// A 64-bit FNV-1a hash fed field by field: the key of a one-entry cache of
// something costly (a world raster, the MUF grid). Keys are compared by
// hash alone, so the fields go in a fixed order and each value in a fixed
// form; the result is the same in every run and on every thread.
class CacheKey {
public:
    CacheKey& add(std::span<const std::uint8_t> bytes)
    {
        for (const std::uint8_t byte : bytes)
            addByte(byte);
        return *this;
    }
    CacheKey& add(bool flag)
    {
        addByte(flag ? 1 : 0);
        return *this;
    }
    CacheKey& add(std::uint64_t value)
    {
        for (int i = 0; i < 8; ++i)
            addByte(std::uint8_t(value >> (8 * i)));
        return *this;
    }
    CacheKey& add(std::int64_t value) { return add(std::uint64_t(value)); }
    // Minus zero counts as zero.
    CacheKey& add(double value) { return add(std::bit_cast<std::uint64_t>(value == 0 ? 0.0 : value)); }
    CacheKey& add(const QString& text)
    {
        add(std::uint64_t(text.size()));
        for (const QChar c : text)
            add(std::uint64_t(c.unicode()));
        return *this;
    }
    // A presence byte, then the instant in milliseconds when present.
    CacheKey& add(const std::optional<QDateTime>& date)
    {
        add(date.has_value());
        if (date)
            add(std::int64_t(date->toMSecsSinceEpoch()));
        return *this;
    }
    // The same for a number.
    CacheKey& add(const std::optional<double>& value)
    {
        add(value.has_value());
        if (value)
            add(*value);
        return *this;
    }

    std::uint64_t value() const { return m_hash; }

private:
    void addByte(std::uint8_t byte)
    {
        m_hash ^= byte;
        m_hash *= 0x100000001b3ULL;
    }

    std::uint64_t m_hash = 0xcbf29ce484222325ULL;
};
