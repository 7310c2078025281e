#include "cluster/LineSplitter.h"

#include <gtest/gtest.h>

TEST(LineSplitter, SplitsAtEveryKindOfLineBreak)
{
    LineSplitter s;
    EXPECT_EQ(s.append("one\r\ntwo\nthree\rfour\x0b"
                       "five\x0csix"),
              (QStringList { "one", "two", "three", "four", "five" }));
    EXPECT_EQ(s.unfinished(), "six");
    EXPECT_EQ(s.append(u"\u2028seven\u2029eight\u0085nine\r\n"_qs.toUtf8()),
              (QStringList { "six", "seven", "eight", "nine" }));
    EXPECT_EQ(s.unfinished(), "");
}

TEST(LineSplitter, TrimsBlanksAndBelsAndSkipsEmptyLines)
{
    LineSplitter s;
    EXPECT_EQ(s.append("  DX de W1XYZ: 14074.0 K1ABC FT8 1230Z\a\a\r\n\r\n \t \r\n"),
              QStringList { "DX de W1XYZ: 14074.0 K1ABC FT8 1230Z" });
    // CR at the end of one chunk, LF at the start of the next: one line.
    EXPECT_EQ(s.append("a\r"), QStringList { "a" });
    EXPECT_EQ(s.append("\nb\r\n"), QStringList { "b" });
}

TEST(LineSplitter, JoinsCharactersCutBetweenChunks)
{
    const QByteArray text = u"DX de DL1ÄÖ: 14074 K1ABC grüße 😀 \u2028ok\r\nlogin: "_qs.toUtf8();
    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        LineSplitter s;
        QStringList lines = s.append(text.first(cut));
        lines += s.append(text.sliced(cut));
        EXPECT_EQ(lines, (QStringList { u"DX de DL1ÄÖ: 14074 K1ABC grüße 😀"_qs, "ok" })) << cut;
        EXPECT_EQ(s.unfinished(), "login: ") << cut;
    }
    // Invalid bytes still become U+FFFD.
    LineSplitter s;
    EXPECT_EQ(s.append("a\xff"
                       "b\n"),
              QStringList { u"a\uFFFDb"_qs });

    // A Latin-1 node: "é" and "ä" look like the start of a longer UTF-8
    // character. Cut after them, the byte that follows (here the line end)
    // must survive.
    const QByteArray latin1 = "Gen\xe8ve caf\xe9\r\nM\xe4\nlogin: \xc3";
    for (qsizetype cut = 0; cut <= latin1.size(); ++cut) {
        LineSplitter l;
        QStringList lines = l.append(latin1.first(cut));
        lines += l.append(latin1.sliced(cut));
        EXPECT_EQ(lines, (QStringList { u"Gen\uFFFDve caf\uFFFD"_qs, u"M\uFFFD"_qs })) << cut;
        EXPECT_EQ(l.unfinished(), "login: ") << cut;
    }
}

TEST(LineSplitter, HandsOnALineThatNeverEndsInPieces)
{
    LineSplitter s;
    const QByteArray chunk(16 * 1024, 'z');
    qsizetype handedOn = 0;
    for (int i = 0; i < 20; ++i) {
        for (const QString& line : s.append(chunk)) {
            EXPECT_EQ(line.size(), LineSplitter::maxUnfinished);
            handedOn += line.size();
        }
        EXPECT_LE(s.unfinished().size(), LineSplitter::maxUnfinished);
    }
    // Nothing is lost.
    EXPECT_EQ(handedOn + s.unfinished().size(), 20 * chunk.size());

    // A cut never separates the halves of a surrogate pair.
    LineSplitter t;
    QString text = QString(LineSplitter::maxUnfinished - 1, u'a') + u"😀😀"_qs;
    const QStringList lines = t.append(text.toUtf8());
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].size(), LineSplitter::maxUnfinished - 1);
    EXPECT_EQ(t.unfinished(), u"😀😀"_qs);
}
