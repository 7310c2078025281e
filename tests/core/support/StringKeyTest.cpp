#include "support/StringKey.h"

#include <QHash>
#include <gtest/gtest.h>

#include <algorithm>

// A key's hash follows its characters and the table's seed alone: the same
// text kept anywhere (inside a longer one at any offset, or a copy of its
// own) hashes alike, every character counts and so does its place (four
// characters, one 64-bit word, swapped with the next four), a run of one
// character differs from one a character longer, another seed hashes anew, and
// so do its first two words swapped, each XORed by the state's constant k1.
TEST(StringKey, HashFollowsTheCharactersAndTheSeedNotWhereTheTextIsKept)
{
    const QString line = QStringLiteral("DX de W3LPL: 14025.0 EA8/DL1ABC/P CW 24 dB 1200Z and a few words more");
    for (qsizetype length = 0; length <= 40; ++length) {
        for (qsizetype offset = 0; offset < 3; ++offset) {
            const QStringView view = QStringView(line).sliced(offset, length);
            const StringKey owned(view.toString());
            for (size_t seed : { size_t(0), size_t(1), size_t(0x5bd1e9955bd1e995) }) {
                const size_t hash = qHash(owned, seed);
                EXPECT_EQ(qHash(StringKey::over(view), seed), hash) << length << " at " << offset;
                EXPECT_NE(qHash(owned, seed ^ 0x10), hash) << length;
                const auto run = [&](qsizetype n) { return qHash(StringKey(QString(n, u'a')), seed); };
                EXPECT_NE(run(length + 1), run(length)) << length; // reads that overlap alike
                for (qsizetype i = 0; i < length; ++i) {
                    QString changed = owned;
                    changed[i] = QChar(changed[i].unicode() ^ 0x100);
                    EXPECT_NE(qHash(StringKey(changed), seed), hash) << length << " at " << i;
                }
                for (qsizetype i = 0; i + 8 <= length; i += 4) {
                    QString swapped = owned;
                    std::swap_ranges(swapped.begin() + i, swapped.begin() + i + 4, swapped.begin() + i + 4);
                    EXPECT_NE(qHash(StringKey(swapped), seed), hash) << length << " swapped at " << i;
                }
                QString mapped = owned; // four characters: one word, taken twice
                for (qsizetype i = 0; (length == 4 || length >= 8) && i < std::min<qsizetype>(8, length); ++i)
                    mapped[i] = char16_t(owned[i ^ 4 * (length > 4)].unicode() ^ TextHash::detail::k1 >> 16 * (i % 4));
                EXPECT_TRUE(mapped == owned || qHash(StringKey(mapped), seed) != hash) << length;
            }
        }
    }
}
