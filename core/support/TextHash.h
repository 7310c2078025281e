#pragma once

#include <QStringView>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The hash of a text on the program's busy roads (the country file's
// prefixes and calls, the calls, modes and ids of arriving spots, the
// labels they are grouped by). Qt's own string hash, seeded, runs 256-bit
// instructions on processors with VAES and returns with the upper halves of
// the vector registers in use (see VectorState.h); everything of the older
// encoding after it, and inside it, then stalls on AVX-512 Intel
// processors. This one is plain 64-bit integer code, no wider than the
// build's baseline, so the state stays as it was: nothing needs cleaning
// after it.
//
// Seeded like Qt's: a table passes its seed (Qt's random one,
// QHashSeed::globalSeed()), which every step mixes in, so that texts from
// the network cannot be picked to collide. Keys are mostly shorter than 16
// bytes (a call is a handful of UTF-16 characters): those take two
// multiplications.
namespace TextHash {

namespace detail {

// Any odd 64-bit values with their bits spread will do; these are the
// fractional parts of the square roots of 2, 3 and 5.
constexpr std::uint64_t k0 = 0x6a09e667f3bcc909;
constexpr std::uint64_t k1 = 0xbb67ae8584caa73b;
constexpr std::uint64_t k2 = 0x3c6ef372fe94f82b;

inline std::uint64_t read64(const char* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline std::uint64_t read32(const char* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The two halves of the 128-bit product, folded into one.
inline std::uint64_t fold(std::uint64_t a, std::uint64_t b)
{
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    return std::uint64_t(product) ^ std::uint64_t(product >> 64);
}

} // namespace detail

inline size_t of(QStringView text, size_t seed) noexcept
{
    using namespace detail;
    const char* p = reinterpret_cast<const char*>(text.utf16());
    std::size_t left = std::size_t(text.size()) * sizeof(char16_t);
    const std::uint64_t length = left;
    // The seed is kept in every factor: no input word the caller picks can
    // zero a product and so blind the hash to what came before. The two
    // factors of the first product (of a block, or of a short key) take it
    // in two ways, the second rotated: taken alike, a product being
    // symmetric, (x, y) and (y ^ c, x ^ c) would hash the same under every
    // seed, for the c that sets the two apart. Rotated by a count prime to
    // 64, the seed XORed with itself so rotated gives each value for at most
    // two seeds: such a pair meets under those alone. (A rotation, where a
    // multiplication would queue behind the product's for the multiplier.)
    const std::uint64_t secret = std::uint64_t(seed) ^ k0;
    std::uint64_t state = std::rotr(std::uint64_t(seed), 29) ^ k1;
    std::uint64_t a = 0, b = 0;
    if (left > 16) {
        for (; left > 16; p += 16, left -= 16)
            state = fold(read64(p) ^ secret, read64(p + 8) ^ state);
        // The last 16 bytes, overlapping what came before where fewer are left.
        a = read64(p + left - 16);
        b = read64(p + left - 8);
    } else if (left >= 8) { // the first and the last eight: every byte, overlapping
        a = read64(p);
        b = read64(p + left - 8);
    } else if (left >= 4) {
        a = read32(p);
        b = read32(p + left - 4);
    } else if (left > 0) { // one UTF-16 character
        std::uint16_t c;
        std::memcpy(&c, p, sizeof c);
        a = c;
    }
    const unsigned __int128 product = static_cast<unsigned __int128>(a ^ secret) * (b ^ state);
    return size_t(fold(std::uint64_t(product) ^ length ^ k2, std::uint64_t(product >> 64) ^ secret));
}

} // namespace TextHash
