#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>

namespace Fuzz {

void fail(const char* condition, const char* file, int line)
{
    // "ERROR:" keeps the line in the log of libFuzzer's forked search.
    std::fprintf(stderr, "%s:%d: ERROR: property does not hold: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

Input::Input(const std::uint8_t* data, std::size_t size)
    : m_data(data)
    , m_size(size)
{
}

std::uint8_t Input::byte() { return m_position < m_size ? m_data[m_position++] : 0; }

int Input::integer(int lo, int hi)
{
    const unsigned span = unsigned(hi - lo) + 1;
    unsigned value = byte();
    if (span > 256)
        value = value << 8 | byte();
    return lo + int(value % span);
}

QByteArray Input::bytes(qsizetype count)
{
    const std::size_t n = std::min<std::size_t>(std::size_t(count), m_size - std::min(m_position, m_size));
    QByteArray taken(reinterpret_cast<const char*>(m_data + m_position), qsizetype(n));
    m_position += n;
    return taken;
}

QByteArray Input::rest() { return bytes(qsizetype(m_size)); }

QList<QByteArrayView> chunks(QByteArrayView bytes, std::uint64_t seed, int maxChunk)
{
    QList<QByteArrayView> pieces;
    std::uint64_t state = seed;
    qsizetype at = 0;
    while (at < bytes.size()) {
        // splitmix64
        state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        const qsizetype size = std::min<qsizetype>(qsizetype(1 + z % std::uint64_t(maxChunk)), bytes.size() - at);
        pieces.append(bytes.sliced(at, size));
        at += size;
    }
    return pieces;
}

QString text(QByteArrayView bytes) { return QString::fromUtf8(bytes); }

} // namespace Fuzz
