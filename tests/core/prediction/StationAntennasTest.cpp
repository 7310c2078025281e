#include "prediction/StationAntennas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const BandAntenna fallback { AntennaPreset::yagi3, 17.5, -1.25 };
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// Every band a different kind and awkward numbers, so a round trip proves
// each member of each band.
StationAntennas everyBandDifferent()
{
    const double heights[] = { 0.1 + 0.2,
                               1e-300,
                               12.345678901234567,
                               1.7976931348623157e308,
                               0.0,
                               7.0,
                               123456789.125,
                               2.5e-7,
                               33.333333333333336,
                               4.0,
                               9.81 };
    StationAntennas table;
    int i = 0;
    for (const auto& entry : StationAntennas::bands) {
        const auto type = AntennaPresets::allCases[i % AntennaPresets::allCases.size()];
        table.set(entry.band, BandAntenna { type, heights[i], -3.0 + i / 3.0 });
        ++i;
    }
    return table;
}

} // namespace

TEST(BandAntenna, GainOverAverageGround)
{
    const BandAntenna dipole10 { AntennaPreset::dipole, 10.0, 3.0 };
    EXPECT_NEAR(dipole10.gain(14.15, 10), 1.82, 0.005);
    EXPECT_NEAR(dipole10.gain(14.15, 90), -4.92, 0.005);
    EXPECT_NEAR(dipole10.gain(14.15, 11.8074), 3.0215, 0.0005);
    EXPECT_NEAR((BandAntenna { AntennaPreset::yagi5, 20.0, 0 }.gain(28.4, 5)), 14.03, 0.005);
    for (const double height : { 0.0, 10.0, 55.0 })
        EXPECT_NEAR((BandAntenna { AntennaPreset::vertical, height, 0 }.gain(7.1, 20)), 3.30, 0.005);

    const BandAntenna custom { AntennaPreset::custom, 10.0, 4.5 };
    for (const double e : { 0.0, 37.0, 90.0 })
        for (const double f : { 1.84, 14.0, notANumber })
            EXPECT_EQ(custom.gain(f, e), 4.5);

    // Direct and reflected waves cancel at grazing incidence; the vertical's
    // cos e factor also kills it straight up. NaN input lands on the floor.
    for (const auto type : AntennaPresets::allCases) {
        if (type == AntennaPreset::custom)
            continue;
        const BandAntenna a { type, 12.0, 0 };
        EXPECT_EQ(a.gain(14.15, 0), -30.0) << rawValue(type).toStdString();
        EXPECT_EQ(a.gain(notANumber, 20), -30.0) << rawValue(type).toStdString();
    }
    EXPECT_EQ((BandAntenna { AntennaPreset::vertical, 0, 0 }.gain(7.1, 90)), -30.0);
}

TEST(StationAntennas, NearestBandAndItsGain)
{
    StationAntennas table;
    const BandAntenna forty { AntennaPreset::invertedV, 8.0, 0 };
    const BandAntenna twenty { AntennaPreset::yagi2, 15.0, 0 };
    table.set(Band::m40, forty);
    table.set(Band::m20, twenty);

    const struct {
        double mhz;
        double centre;
    } cases[] = {
        { 39.275, 28.4 }, // equal distances: the lower band keeps it
        { 39.3, 50.15 },  { 8.61, 7.1 },        { 12.135, 10.12 }, { 0, 1.84 },
        { -5, 1.84 },     { notANumber, 1.84 }, { 1000, 50.15 },   { 14.0, 14.15 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(table.antenna(c.mhz).bandMHz, c.centre) << c.mhz;

    EXPECT_EQ(table.antenna(7.0).antenna, forty);
    EXPECT_EQ(table.antenna(28.0).antenna, BandAntenna {}); // no entry: the default
    for (const double e : { 3.0, 25.0, 60.0 })
        EXPECT_EQ(table.gain(14.0, e), twenty.gain(14.15, e));

    EXPECT_TRUE(StationAntennas::isPredicted(Band::m160));
    EXPECT_FALSE(StationAntennas::isPredicted(Band::m6));
}

TEST(StationAntennas, TakeOffAngle)
{
    EXPECT_EQ(StationAntennas::takeOffAngle(0), 90.0);
    EXPECT_EQ(StationAntennas::takeOffAngle(-10), 90.0);
    EXPECT_EQ(StationAntennas::takeOffAngle(std::numeric_limits<double>::quiet_NaN()), 90.0);
    EXPECT_NEAR(StationAntennas::takeOffAngle(1000), 28.12, 0.005);
    EXPECT_NEAR(StationAntennas::takeOffAngle(2000), 11.8074, 0.00005);
    EXPECT_NEAR(StationAntennas::takeOffAngle(3000), 4.26, 0.005);
    EXPECT_EQ(StationAntennas::takeOffAngle(5000), 1.0);
}

TEST(StationAntennas, EntriesEqualityAndHash)
{
    const StationAntennas empty;
    for (const auto& entry : StationAntennas::bands)
        EXPECT_EQ(empty[entry.band], BandAntenna {});
    EXPECT_EQ(empty.copyingFirstRowToAll(), StationAntennas(BandAntenna {}));
    // An entry equal to the default is still an entry.
    EXPECT_NE(empty, StationAntennas(BandAntenna {}));

    StationAntennas a = everyBandDifferent();
    EXPECT_EQ(a.copyingFirstRowToAll(), StationAntennas(a[Band::m160]));

    // Filling in the opposite order gives an equal table with an equal hash.
    StationAntennas b;
    for (auto it = StationAntennas::bands.rbegin(); it != StationAntennas::bands.rend(); ++it)
        b.set(it->band, a[it->band]);
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a, 7), qHash(b, 7));

    b.set(Band::m17, BandAntenna { AntennaPreset::dipole, 10.0, 3.5 });
    EXPECT_NE(a, b);

    const BandAntenna zero { AntennaPreset::dipole, 0.0, 0.0 };
    const BandAntenna minusZero { AntennaPreset::dipole, -0.0, -0.0 };
    EXPECT_EQ(zero, minusZero);
    EXPECT_EQ(qHash(zero, 3), qHash(minusZero, 3));
    const BandAntenna noHeight { AntennaPreset::dipole, notANumber, 0 };
    EXPECT_NE(noHeight, noHeight);
}

TEST(StationAntennas, EncodedText)
{
    const QString defaultMember = QStringLiteral(R"({"gain":3,"height":10,"type":"dipole"})");
    QString expected = QStringLiteral("{");
    for (const char* key : { "10", "12", "15", "160", "17", "20", "30", "40", "6", "60", "80" })
        expected += QStringLiteral("\"%1\":%2,").arg(QLatin1String(key), defaultMember);
    expected.back() = u'}';
    EXPECT_EQ(StationAntennas().encoded(), expected);

    // Bands outside the eleven are never written.
    StationAntennas withTwoMetres;
    withTwoMetres.set(Band::m2, BandAntenna { AntennaPreset::yagi5, 5, 0 });
    EXPECT_EQ(withTwoMetres.encoded(), expected);

    // One band with a number that cannot be stored loses only that band.
    const BandAntenna fallback { AntennaPreset::dipole, 10, 0 };
    for (const BandAntenna bad :
         { BandAntenna { AntennaPreset::dipole, notANumber, 0 },
           BandAntenna { AntennaPreset::custom, 1, std::numeric_limits<double>::infinity() } }) {
        StationAntennas broken = everyBandDifferent();
        broken.set(Band::m40, bad);
        const StationAntennas back = StationAntennas::decode(broken.encoded(), fallback);
        StationAntennas expectedBack = everyBandDifferent();
        expectedBack.set(Band::m40, fallback);
        EXPECT_EQ(back, expectedBack);
    }
}

TEST(StationAntennas, DecodeRoundTripIsLossless)
{
    const StationAntennas table = everyBandDifferent();
    const QString text = table.encoded();
    EXPECT_EQ(StationAntennas::decode(text, fallback), table);
    EXPECT_EQ(StationAntennas::decode(text, BandAntenna {}), table);
    EXPECT_EQ(StationAntennas::decode(text, fallback).encoded(), text);
}

TEST(StationAntennas, DecodeTakesTheFallbackForWhatItCannotRead)
{
    const StationAntennas allFallback(fallback);
    const QString good20 = QStringLiteral(R"("20":{"type":"yagi2","height":12,"gain":0})");
    const QString unreadable[] = {
        QString(),
        QStringLiteral("{}"),
            QStringLiteral("not json"),
                QStringLiteral("[]"),
                    QStringLiteral("null"),
                        QStringLiteral("{") + good20
                            + QStringLiteral(R"(,"40":{"type":"dipole","height":"10","gain":3}})"),
                                QStringLiteral("{") + good20
                                    + QStringLiteral(R"(,"40":{"type":"dipole","gain":3}})"),
                                        QStringLiteral("{") + good20
                                            + QStringLiteral(R"(,"40":{"type":"Dipole","height":10,"gain":3}})"),
                                                QStringLiteral("{") + good20
                                                    + QStringLiteral(R"(,"40":{"type":"dipole","height":1e999,"gain":3}})"),
                                                        QStringLiteral("{") + good20
                                                            + QStringLiteral(R"(,"40":{"type":"dipole","height":10,"gain":null}})"),
                                                                QStringLiteral("{") + good20
                                                                               + QStringLiteral(R"(,"junk":7})"),
                                                                                   QStringLiteral("{")
                                                                                                  + good20, // cut short
                                                                                 };
    for (const QString& text : unreadable) {
        EXPECT_EQ(StationAntennas::decode(text, fallback), allFallback) << text.toStdString();
        // "{}" is read (it names no band); everything else is discarded.
        EXPECT_EQ(StationAntennas::decodes(text), text == QStringLiteral("{}")) << text.toStdString();
    }

    // One good member: that band from the text, the others the fallback;
    // members under other keys are read but ignored; member order is free.
    const QString partial = QStringLiteral("{") + good20
                                           + QStringLiteral(R"(,"4":{"gain":1,"height":2,"type":"vertical"},)"
                                             R"("hello":{"height":2,"gain":1,"type":"custom"}})");
    StationAntennas expected = allFallback;
    expected.set(Band::m20, BandAntenna { AntennaPreset::yagi2, 12, 0 });
    EXPECT_EQ(StationAntennas::decode(partial, fallback), expected);
    EXPECT_TRUE(StationAntennas::decodes(partial));
}

TEST(StationAntennas, EngineAntennaFile)
{
    const QString empty = StationAntennas().type14File();
    ASSERT_TRUE(empty.endsWith('\n'));
    const QStringList lines = empty.split('\n').mid(0, 305);
    ASSERT_EQ(empty.count('\n'), 305);
    EXPECT_EQ(lines[0], "Corvanta station antennas");
    EXPECT_EQ(lines[3], "  14    [ 2] Antenna Type..: 30 x (efficiency + 91 gain values) follow");
    EXPECT_EQ(lines[4], "  14.0  [ 3] Frequency");
    EXPECT_TRUE(lines[5].startsWith("  1.84  0.00 -30.000 -30.000 ")) << lines[5].toStdString();
    EXPECT_TRUE(lines[105].startsWith(" 31.00  0.00 ")) << lines[105].toStdString();
    for (int block = 0; block < 30; ++block) {
        for (int line = 0; line < 9; ++line)
            EXPECT_EQ(lines[5 + block * 10 + line].size(), 92) << block << " " << line;
        EXPECT_EQ(lines[5 + block * 10 + 9].size(), 20) << block;
        EXPECT_TRUE(lines[5 + block * 10 + 9].startsWith(QString(13, ' ')));
    }
    // Each gain is the band's antenna at the band's centre; the last line is
    // the 10 m antenna at 28.4 MHz straight up.
    EXPECT_EQ(lines[304], QString(13, ' ') + QString::asprintf("%7.3f", BandAntenna().gain(28.4, 90)));
    EXPECT_EQ(lines[5 + 5 * 10 + 1].mid(13, 7), QString::asprintf("%7.3f", BandAntenna().gain(14.15, 10)));

    StationAntennas table;
    table.set(Band::m40, BandAntenna { AntennaPreset::vertical, 0, 0 });
    table.set(Band::m20, BandAntenna { AntennaPreset::custom, 10, 4.5 });
    const QStringList custom = table.type14File().split('\n');
    QString all20;
    for (int line = 0; line < 10; ++line)
        all20 += custom[55 + line].mid(13) + ' ';
    EXPECT_EQ(all20.split(' ', Qt::SkipEmptyParts), QStringList(91, "4.500"));
    EXPECT_EQ(custom[55].mid(13, 7), "  4.500");
    EXPECT_EQ(custom[35].mid(13, 7), "-30.000"); // the 40 m vertical at 0°
    EXPECT_EQ(custom[44].mid(13, 7), "-30.000"); // and at 90°

    // 6 m never enters the file; 10 m fills everything above 28.4 MHz.
    StationAntennas sixChanged;
    sixChanged.set(Band::m6, BandAntenna { AntennaPreset::yagi5, 30, 0 });
    EXPECT_EQ(sixChanged.type14File(), empty);
    StationAntennas tenChanged;
    tenChanged.set(Band::m10, BandAntenna { AntennaPreset::yagi3, 15, 0 });
    const QStringList ten = tenChanged.type14File().split('\n');
    const QStringList before = empty.split('\n');
    for (int line = 0; line < 95; ++line)
        EXPECT_EQ(ten[line], before[line]) << line;
    for (int block = 9; block < 30; ++block) {
        EXPECT_NE(ten[5 + block * 10 + 1], before[5 + block * 10 + 1]) << block;
        for (int line = 0; line < 10; ++line)
            EXPECT_EQ(ten[5 + block * 10 + line].mid(13), ten[5 + 9 * 10 + line].mid(13)) << block;
    }
}
