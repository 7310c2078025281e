#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares. A target defines LLVMFuzzerTestOneInput; it
// runs under libFuzzer (scripts/fuzz) or, built as a test, over its seed
// corpus (ReplayMain.cpp). A property that does not hold ends the process
// with the condition's text, which both count as a finding.

#define FUZZ_CHECK(condition) ((condition) ? static_cast<void>(0) : Fuzz::fail(#condition, __FILE__, __LINE__))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace Fuzz {

[[noreturn]] void fail(const char* condition, const char* file, int line);

// Reads small decisions (a chunk size, a choice) from the front of the input
// and leaves the rest as the data under test. Past the end every decision is
// 0, so any input is usable.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size);

    std::uint8_t byte();
    // A number in lo ... hi from the next byte(s).
    int integer(int lo, int hi);
    // Up to `count` bytes, fewer near the end.
    QByteArray bytes(qsizetype count);
    // Everything not yet taken.
    QByteArray rest();
    bool atEnd() const { return m_position >= m_size; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

// The bytes cut into pieces of 1 ... maxChunk bytes, the cuts chosen by a
// generator seeded with `seed`: the same seed cuts alike.
QList<QByteArrayView> chunks(QByteArrayView bytes, std::uint64_t seed, int maxChunk);

// The bytes as the targets take text: UTF-8, invalid sequences as U+FFFD.
QString text(QByteArrayView bytes);

} // namespace Fuzz
