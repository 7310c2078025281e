#include "cluster/TelnetFilter.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}

QByteArray once(std::initializer_list<int> values)
{
    TelnetFilter f;
    return f.filter(bytes(values));
}

} // namespace

TEST(TelnetFilter, DropsCommandsAndNulKeepsData)
{
    EXPECT_EQ(once({ 'A', 0, 'B' }), "AB");
    EXPECT_EQ(once({ 'A', 255, 255, 'B' }), bytes({ 'A', 255, 'B' }));
    EXPECT_EQ(once({ 'A', 255, 251, 1, 'B' }), "AB");
    EXPECT_EQ(once({ 255, 250, 24, 1, 255, 240, 'X' }), "X");
    EXPECT_EQ(once({ 'a', 255, 241, 'b', 255, 249, 'c' }), "abc");
    EXPECT_EQ(once({ 255, 253, 1, 255, 251, 3, 255, 253, 24, 'o', 'k' }), "ok");
    // A doubled 255 inside a sub-negotiation gets no special treatment.
    EXPECT_EQ(once({ 255, 250, 24, 255, 255, 240, 'Y' }), "Y");
    EXPECT_EQ(once({}), "");
    // Bytes above 127 that are no IAC are data (UTF-8 text).
    EXPECT_EQ(once({ 0xC3, 0xA4 }), "\xC3\xA4");
}

TEST(TelnetFilter, HoldsBackACommandCutByTheChunkEnd)
{
    TelnetFilter f;
    EXPECT_EQ(f.filter(bytes({ 'A', 255, 253 })), "A");
    EXPECT_EQ(f.pending(), bytes({ 255, 253 }));
    EXPECT_EQ(f.filter(bytes({ 3, 'C' })), "C");
    EXPECT_TRUE(f.pending().isEmpty());

    EXPECT_EQ(f.filter(bytes({ 'x', 255 })), "x");
    EXPECT_EQ(f.pending(), bytes({ 255 }));
    EXPECT_EQ(f.filter(bytes({ 255, 'y' })), bytes({ 255, 'y' }));

    EXPECT_EQ(f.filter(bytes({ 255, 250, 24 })), "");
    EXPECT_EQ(f.pending(), bytes({ 255, 250, 24 }));
    EXPECT_EQ(f.filter(bytes({ 0, 'V', 'T', '1', '0', '0', 255 })), "");
    EXPECT_EQ(f.filter(bytes({ 240, 'Z' })), "Z");
    EXPECT_TRUE(f.pending().isEmpty());

    // Every split point of a negotiating stream gives the same data.
    const QByteArray stream
        = bytes({ 'D', 'X', 255, 251, 1, 0, ' ', 255, 250, 31, 0, 80, 255, 240, 'd', 'e', 255, 255, 255, 241, '!' });
    const QByteArray expected = bytes({ 'D', 'X', ' ', 'd', 'e', 255, '!' });
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        TelnetFilter g;
        QByteArray out = g.filter(stream.first(cut));
        out += g.filter(stream.sliced(cut));
        EXPECT_EQ(out, expected) << cut;
        EXPECT_TRUE(g.pending().isEmpty()) << cut;
    }
}

TEST(TelnetFilter, GivesUpASubNegotiationThatNeverCloses)
{
    TelnetFilter f;
    QByteArray opened = bytes({ 'o', 'k', 255, 250, 24 });
    EXPECT_EQ(f.filter(opened), "ok");
    const QByteArray filler(16 * 1024, 'x');
    qsizetype most = 0;
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(f.filter(filler), "") << i;
        most = std::max(most, f.pending().size());
        if (f.pending().isEmpty())
            break;
    }
    EXPECT_LE(most, TelnetFilter::maxPending);
    EXPECT_TRUE(f.pending().isEmpty());
    // The node's text is read again once the runaway command is given up.
    EXPECT_EQ(f.filter("DX de\r\n"), "DX de\r\n");

    // A long but closed sub-negotiation within the cap is still dropped whole.
    TelnetFilter g;
    EXPECT_EQ(g.filter(bytes({ 255, 250, 24 }) + QByteArray(40000, 'y')), "");
    EXPECT_EQ(g.filter(bytes({ 255, 240, 'k' })), "k");
}
