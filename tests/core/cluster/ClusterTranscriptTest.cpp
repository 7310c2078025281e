// A node session replayed byte for byte through the whole road of a spot:
// telnet filter, line splitter, spot parser and spot book.
#include "cluster/DXSpotParser.h"
#include "cluster/LineSplitter.h"
#include "cluster/SpotBook.h"
#include "cluster/TelnetFilter.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

namespace {

const QDateTime sessionStart(QDate(2026, 12, 7), QTime(9, 15), Qt::UTC);

// A DXSpider node: negotiation around the login prompt, a sub-negotiation
// asking for the terminal type, the "sh/dx" answer, then live traffic with
// BELs before CR LF, a UTF-8 comment and lines that are no spots.
QByteArray recordedSession()
{
    QByteArray s;
    s += "\xff\xfb\x01\xff\xfb\x03\xff\xfd\x18\xff\xfd\x1f";
    s += "\r\nWelcome to GB7DJK DXSpider cluster\r\n\r\nlogin: ";
    s += "\xff\xfa\x18\x01\xff\xf0";
    s += "Hello W1XYZ, this is GB7DJK in London, UK\r\n";
    s += "running DXSpider v1.57 build 541\r\n";
    s += "Cluster: 245 nodes, 12 local / 3561 total users  Max users 4876  Uptime 12 05:33\r\n";
    s += "W1XYZ de GB7DJK  7-Dec-2026 0915Z dxspider >\a\a\r\n";
    s += "   14074.0  K1ABC        7-Dec-2026 0910Z  FT8 -05 dB                   <W1XYZ>\r\n";
    s += "    7018.3  RW1M         7-Dec-2026 0909Z  CW 19 dB 26 WPM CQ           <EA5WU-#>\r\n";
    s += "10368100.0  OK1KIR       7-Dec-2026 0905Z  EME                          <DL1ABC>\r\n";
    s += "   14025.0  K1ABC        7-Dec-2026 0900Z  cw                           <G4XYZ>\r\n";
    s += "    3799.0  EA8/DL1ABC/P 7-Dec-2026 0855Z  LSB up 5                     <W1XYZ-2>\r\n";
    s += "W1XYZ de GB7DJK  7-Dec-2026 0915Z dxspider >\a\a\r\n";
    s += "DX de SV1CDN:    14028.0  UR5EAW       cw                             0915Z KM18\a\a\r\n";
    s += "WWV de VE7CC <09>:   SFI=150, A=5, K=1, No Storms -> No Storms\a\a\r\n";
    s += "DX de W3LPL-#:   14075.2  JA1XYZ       FT8 -12 dB 1243 Hz             0915Z\a\a\r\n";
    s += "\xff\xf1";
    s += "DX de DL1\xc3\x84"
         "BC:    21074.0  PY2XX        gr\xc3\xbc\xc3\x9f"
         "e aus K\xc3\xb6ln  0916Z JO30\a\a\r\n";
    s += "DX de EA5WU-#:   14074.9  K1ABC        FT8 +03 dB                     0916Z\a\a\r\n";
    s += "To ALL de W1AW: net at 1200Z\a\a\r\n";
    s += "DX de K1TTT:     50313.0  JA1ABC       FT8 JA-W1 via Es?              0917Z\r\n";
    s += "DX de W1XYZ: 7.074 K1ABC ft8 0917Z\r\n";
    s += "DX de W1XYZ:   144174.0  VE1ABC       FT8                            0917Z FN74\r\n";
    s += "\xff\xfd\x01";
    return s;
}

struct Replay {
    SpotBook book;
    QStringList lines;
};

// Feeds the bytes in the given chunk sizes (cycled); each line is received
// one second after the one before.
Replay replay(const QByteArray& bytes, const QList<qsizetype>& chunkSizes)
{
    Replay r;
    TelnetFilter telnet;
    LineSplitter splitter;
    qsizetype at = 0;
    for (qsizetype k = 0; at < bytes.size(); ++k) {
        const qsizetype size = std::min(chunkSizes[k % chunkSizes.size()], bytes.size() - at);
        for (const QString& line : splitter.append(telnet.filter(QByteArrayView(bytes).sliced(at, size)))) {
            const QDateTime received = sessionStart.addSecs(r.lines.size());
            r.lines << line;
            if (const std::optional<DXSpot> spot = DXSpotParser::spot(line, received))
                r.book.add(*spot);
        }
        at += size;
    }
    return r;
}

QStringList summary(const SpotBook& book)
{
    QStringList out;
    for (const DXSpot& s : book.spots())
        out << QString("%1 %2 %3 %4")
                   .arg(s.id(), s.mode ? rawValue(*s.mode) : QString("-"), s.band ? title(*s.band) : QString("-"),
                        s.time.toString("HHmm"));
    return out;
}

} // namespace

TEST(ClusterTranscript, AnySplitOfTheSessionGivesTheSameSpots)
{
    const QByteArray session = recordedSession();
    const Replay whole = replay(session, { session.size() });

    EXPECT_EQ(summary(whole.book),
              (QStringList {
                  "VE1ABC|2 DIGI 2 m 0915",
                  "JA1ABC|6 DIGI 6 m 0915",
                  "K1ABC|20 DIGI 20 m 0915",
                  "PY2XX|15 DIGI 15 m 0915",
                  "JA1XYZ|20 DIGI 20 m 0915",
                  "UR5EAW|20 CW 20 m 0915",
                  "RW1M|40 CW 40 m 0909",
                  "OK1KIR|10368100 - - 0905",
                  "EA8/DL1ABC/P|80 SSB 80 m 0855",
              }));
    // Live spots carry their receiving time; the newest report of K1ABC
    // replaced the listing's one.
    EXPECT_EQ(whole.book.spots()[2].frequencyKHz, 14074.9);
    EXPECT_EQ(whole.book.spots()[2].spotter, "EA5WU-#");
    EXPECT_GT(whole.book.spots()[0].time, whole.book.spots()[1].time);
    EXPECT_EQ(whole.book.spots()[3].comment, u"grüße aus Köln"_qs);
    EXPECT_EQ(whole.book.spots()[3].spotter, u"DL1ÄBC"_qs);
    EXPECT_EQ(whole.lines.first(2),
              (QStringList { "Welcome to GB7DJK DXSpider cluster",
                             "login: Hello W1XYZ, this is GB7DJK in London, UK" }));
    EXPECT_TRUE(whole.lines.contains("WWV de VE7CC <09>:   SFI=150, A=5, K=1, No Storms -> No Storms"));
    for (const QString& line : whole.lines)
        EXPECT_FALSE(line.contains(QChar(0xFFFD)) || line.contains(u'\a')) << line.toStdString();

    // Cut in two at every byte, then in random small chunks.
    for (qsizetype cut = 1; cut < session.size(); ++cut) {
        const Replay r = replay(session, { cut, session.size() });
        ASSERT_EQ(r.lines, whole.lines) << cut;
        ASSERT_EQ(r.book.spots(), whole.book.spots()) << cut;
    }
    QRandomGenerator random(42);
    for (int round = 0; round < 200; ++round) {
        QList<qsizetype> sizes;
        for (int k = 0; k < 17; ++k)
            sizes << random.bounded(1, 40);
        const Replay r = replay(session, sizes);
        ASSERT_EQ(r.lines, whole.lines) << round;
        ASSERT_EQ(r.book.spots(), whole.book.spots()) << round;
    }
}

TEST(ClusterTranscript, ABusyNodeFillsTheBookToItsCapacity)
{
    QByteArray session = "\xff\xfb\x01login: ";
    const char* comments[] = { "CW 22 dB 28 WPM CQ", "FT8 -10 dB 1500 Hz", "up 5", "tnx qso 73", "RTTY" };
    const double bases[] = { 1820, 3520, 7020, 10120, 14020, 18080, 21020, 24900, 28020, 50100 };
    for (int i = 0; i < 1500; ++i) {
        session += QString("DX de W3LPL-#:  %1  K%2AB        %3  %4Z\a\a\r\n")
                       .arg(bases[i % 10] + (i % 7) * 0.1, 0, 'f', 1)
                       .arg(i)
                       .arg(comments[i % 5])
                       .arg(900 + i % 60, 4, 10, QChar('0'))
                       .toUtf8();
        if (i % 97 == 0)
            session += QByteArrayLiteral("\xff\xfa\x1f\x00\x50\x00\x18\xff\xf0"); // NAWS 80x24
    }
    const Replay r = replay(session, { 1000, 7, 333, 4096 });
    ASSERT_EQ(r.book.spots().size(), 1000);
    EXPECT_EQ(r.book.spots().front().call, "K1499AB");
    EXPECT_EQ(r.book.spots().back().call, "K500AB");
    for (qsizetype i = 1; i < r.book.spots().size(); ++i)
        ASSERT_GT(r.book.spots()[i - 1].time, r.book.spots()[i].time);
    EXPECT_EQ(r.book.spots().front().band, Band::m6);
    EXPECT_EQ(r.book.spots().front().mode, SpotMode::digital); // "RTTY"
    EXPECT_EQ(r.book.spots().back().mode, SpotMode::cw);       // 1820.3 kHz, "CW 22 dB 28 WPM CQ"
}
