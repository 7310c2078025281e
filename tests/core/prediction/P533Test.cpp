#include "prediction/P533.h"

#include <QLocale>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const StationSetup setup100W { 100, StationAntennas(), PredictionMode::ssb, NoiseEnvironment::residential };

P533::Request pointRequest()
{
    return P533::Request::path({ 54.687, 25.28 }, { 40.0, -75.5 }, setup100W, 3.0,
                               QDateTime(QDate(2026, 12, 6), QTime(23, 30), Qt::UTC), { 11, 0 }, { 14.15, 7.1 }, 80.5);
}

QStringList linesOf(const P533::Request& request, const QString& data = "/data/ITU",
                    const QString& antenna = "/tmp/w/tx.ant")
{
    const auto text = P533::inputFile(request, data, antenna);
    EXPECT_TRUE(text.has_value());
    EXPECT_TRUE(text->endsWith('\n'));
    return QString::fromUtf8(*text).split('\n', Qt::SkipEmptyParts);
}

QString valueOf(const QStringList& lines, const QString& key)
{
    for (const QString& line : lines)
        if (line.startsWith(key + ' '))
            return line.mid(key.size() + 1);
    return "<missing>";
}

} // namespace

TEST(P533, InputFileOfAPointRequest)
{
    // A German desktop must still write points.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QStringList lines = linesOf(pointRequest());
    QLocale::setDefault(QLocale::c());

    const QStringList expected {
        "PathName \"Corvanta\"",
        "PathTXName \"QTH\"",
        "Path.L_tx.lat 54.6870",
        "Path.L_tx.lng 25.2800",
        "TXAntFilePath \"/tmp/w/tx.ant\"",
        "TXGOS 0",
        "PathRXName \"DX\"",
        "Path.L_rx.lat 40.0000",
        "Path.L_rx.lng -75.5000",
        "RXAntFilePath \"ISOTROPIC\"",
        "RXGOS 3.00",
        "AntennaOrientation \"TX2RX\"",
        "Path.year 2026",
        "Path.month 12",
        "Path.hour 12,1", // the engine's hour h is the UTC hour h - 1
        "Path.SSN 81",
        "Path.frequency 14.150,7.100",
        "Path.txpower -10.00",
        "Path.BW 2700.0",
        "Path.SNRr 8.0",
        "Path.SNRXXp 90",
        "Path.ManMadeNoise \"RESIDENTIAL\"",
        "Path.Modulation \"ANALOG\"",
        "Path.SorL \"SHORTPATH\"",
        "RptFileFormat \"RPT_RXLOCATION | RPT_BCR\"",
        "LL.lat 40.0000",
        "LL.lng -75.5000",
        "LR.lat 40.0000",
        "LR.lng -75.5000",
        "UL.lat 40.0000",
        "UL.lng -75.5000",
        "UR.lat 40.0000",
        "UR.lng -75.5000",
        "latinc 1.00",
        "lnginc 1.00",
        "DataFilePath \"/data/ITU/\"",
    };
    EXPECT_EQ(lines, expected);
}

TEST(P533, InputFileValuesAtTheirEdges)
{
    P533::Request r = pointRequest();
    // Sunspot numbers are rounded half away from zero into 1 … 311.
    const std::pair<double, QString> sunspots[] = {
        { 0, "1" },
        { -5, "1" },
        { 311.4, "311" },
        { 311.5, "311" },
        { 1e9, "311" },
        { 80.5, "81" },
        { 80.49, "80" },
        { 0.5, "1" },
        { std::nan(""), "1" },
        { std::numeric_limits<double>::infinity(), "311" },
        { -std::numeric_limits<double>::infinity(), "1" },
    };
    for (const auto& [ssn, written] : sunspots) {
        r.sunspotNumber = ssn;
        EXPECT_EQ(valueOf(linesOf(r), "Path.SSN"), written) << ssn;
    }

    // Power in dB over 1 kW; the engine refuses less than 1 W, so that is
    // the least sent.
    const std::pair<double, QString> powers[] = { { 1000, "0.00" }, { 5, "-23.01" },         { 1, "-30.00" },
                                                  { 0.5, "-30.00" }, { 0, "-30.00" },         { -3, "-30.00" },
                                                  { std::nan(""), "-30.00" } };
    for (const auto& [watts, written] : powers) {
        r.setup.powerW = watts;
        EXPECT_EQ(valueOf(linesOf(r), "Path.txpower"), written) << watts;
    }

    r.setup.mode = PredictionMode::ft8;
    r.setup.noise = NoiseEnvironment::quietRural;
    r.hoursUTC = { 0, 1, 23 };
    QStringList lines = linesOf(r, "/data/ITU/");
    EXPECT_EQ(valueOf(lines, "Path.BW"), "2500.0");
    EXPECT_EQ(valueOf(lines, "Path.SNRr"), "-20.0");
    EXPECT_EQ(valueOf(lines, "Path.ManMadeNoise"), "\"QUIETRURAL\"");
    EXPECT_EQ(valueOf(lines, "Path.hour"), "1,2,24");
    EXPECT_EQ(lines.last(), "DataFilePath \"/data/ITU/\""); // one slash, given or not

    r.hoursUTC = {};
    EXPECT_TRUE(P533::inputFile(r, "/d", "/a")->contains("\nPath.hour \nPath.SSN"));

    // The long-path twin differs in one line only.
    P533::Request twin = r;
    twin.longPath = true;
    QStringList shortLines = linesOf(r);
    QStringList longLines = linesOf(twin);
    ASSERT_EQ(shortLines.size(), longLines.size());
    QStringList differing;
    for (qsizetype i = 0; i < shortLines.size(); ++i)
        if (shortLines[i] != longLines[i])
            differing << longLines[i];
    EXPECT_EQ(differing, QStringList { "Path.SorL \"LONGPATH\"" });

    // An area request puts its receive point in the middle.
    const P533::Request area({ 0, 0 }, setup100W, 3, 2026, 7, { 5 }, { 21.2 }, 100, 89, 75, -179, 179, 2, 2);
    lines = linesOf(area);
    EXPECT_EQ(valueOf(lines, "Path.L_rx.lat"), "82.0000");
    EXPECT_EQ(valueOf(lines, "Path.L_rx.lng"), "0.0000");
    EXPECT_EQ(valueOf(lines, "UL.lat"), "89.0000");
    EXPECT_EQ(valueOf(lines, "LR.lat"), "75.0000");
    EXPECT_EQ(valueOf(lines, "latinc"), "2.00");
}

TEST(P533, PathsThatWouldBreakTheInputFileAreRefused)
{
    for (const auto& [data, antenna] : std::initializer_list<std::pair<QString, QString>> {
             { "/home/o\"brien/ITU", "/tmp/tx.ant" },
             { "/data", "/tmp/a\"b/tx.ant" },
             { "/data\nDataFilePath \"/elsewhere", "/tmp/tx.ant" },
             { "/data", "/tmp/x\r/tx.ant" },
         }) {
        const auto text = P533::inputFile(pointRequest(), data, antenna);
        ASSERT_FALSE(text.has_value()) << data.toStdString() << antenna.toStdString();
        EXPECT_TRUE(text.error().contains("double quote")) << text.error().toStdString();
    }
    EXPECT_TRUE(P533::inputFile(pointRequest(), "/home/o'brien/ITU data", "/tmp/tx.ant").has_value());

    // The engine appends its data files' names to the folder: 244 bytes at most.
    const QString longest = "/" + QString(227, 'd');
    EXPECT_TRUE(P533::inputFile(pointRequest(), longest, "/tmp/tx.ant").has_value());
    const auto refused = P533::inputFile(pointRequest(), longest + "d", "/tmp/tx.ant");
    EXPECT_TRUE(!refused && refused.error().startsWith("the path " + longest + "d/ is too long for the engine"));
}

TEST(P533, YearMonthInUTC)
{
    const QDateTime newYearInBerlin(QDate(2027, 1, 1), QTime(0, 30), QTimeZone("Europe/Berlin"));
    EXPECT_EQ(P533::yearMonth(newYearInBerlin), (P533::YearMonth { 2026, 12 }));
    EXPECT_EQ(P533::yearMonth(QDateTime()), (P533::YearMonth { 2026, 1 }));
    const P533::Request r = P533::Request::path({ 1, 2 }, { 3, 4 }, setup100W, 3, newYearInBerlin, {}, {}, 5);
    EXPECT_EQ(r.year, 2026);
    EXPECT_EQ(r.month, 12);
    EXPECT_EQ(r.tx, (GeoCoordinate { 1, 2 }));
    EXPECT_EQ(r.north, 3);
    EXPECT_EQ(r.south, 3);
    EXPECT_EQ(r.west, 4);
    EXPECT_EQ(r.east, 4);
    EXPECT_FALSE(r.longPath);
}

TEST(P533, ReportRowsBetweenTheMarkers)
{
    const QString report = "ITURHFProp report\r\n"
                           "01, 05, 14.150, 1, 2, 50\r\n" // before the block: not data
                           "******** Calculated Parameters ********\r\n"
                           "Month, Hour, Freq, Lat, Lng, BCR\r\n" // titles: skipped, block stays open
                           " 1 , 24 ,\t14.150 , 10.0 , -20.0 , 95.5 \r\n"
                           "\r\n"
                           "02,13,7.1,-5,5,120,extra,columns\n"
                           "03,+1,7.1,-5,5,-3\v"
                           "04,-25,1e1,0,0,50\u2028" // no hour of the engine's: skipped
                           "04,0,1e1,0,0,50\n"       // nor is 0 or 25
                           "04,25,1e1,0,0,50\n"
                           "05,,06,3.5,4,5,60\n" // an empty field shifts the rest forward
                           "06,07,3.5,4,5\n"     // five pieces: skipped
                           "07,07,3.5,4, ,5\n"   // a blank piece is a piece, and no number
                           "08,07,3.5,4,x5,5\n"
                           "09,07,nan,4,5,5\n"
                           "******** End Calculated Parameters ********\n"
                           "10,07,3.5,4,5,5\n" // after the block: ignored
                           "Calculated Parameters again\n"
                           "11,08,3.5,4,5,25";
    const auto rows = P533::parse(report);
    ASSERT_TRUE(rows.has_value());
    // The engine's hour h is the UTC hour h - 1.
    const QList<P533::Row> expected {
        { 1, 23, 14.15, 10.0, -20.0, 0.955 }, { 2, 12, 7.1, -5, 5, 1.0 },
        { 3, 0, 7.1, -5, 5, 0.0 },            { 5, 5, 3.5, 4, 5, 0.6 },
        { 11, 7, 3.5, 4, 5, 0.25 },
    };
    ASSERT_EQ(rows->size(), expected.size());
    for (qsizetype i = 0; i < rows->size(); ++i) {
        const P533::Row& row = (*rows)[i];
        EXPECT_EQ(row.month, expected[i].month) << i;
        EXPECT_EQ(row.hourUTC, expected[i].hourUTC) << i;
        EXPECT_DOUBLE_EQ(row.frequencyMHz, expected[i].frequencyMHz) << i;
        EXPECT_DOUBLE_EQ(row.latitude, expected[i].latitude) << i;
        EXPECT_DOUBLE_EQ(row.longitude, expected[i].longitude) << i;
        EXPECT_DOUBLE_EQ(row.reliability, expected[i].reliability) << i;
    }

    EXPECT_EQ(P533::parse(u"01, 01, 14.150, 10.0, -20.0, 95.5\n"), QList<P533::Row>()); // no marker
    EXPECT_EQ(P533::parse(u""), QList<P533::Row>());
}

// Without a legend the columns are month, hour, frequency, latitude,
// longitude, reliability, then whatever else the engine reports. Rows may
// come in any order; a layout that reports more after the reliability, or
// pads its columns differently, reads the same. With a legend, each value
// is read from the column it names, wherever the legend stands.
TEST(P533, ReportLayoutsAreReadByTheirLegend)
{
    const QString hourMajor = "Calculated Parameters\n"
                              "12, 24, 14.150, 50.000, 10.000, 40.00\n"
                              "12, 24, 7.100, 50.000, 10.000, 60.00\n"
                              "12, 01, 14.150, 50.000, 10.000, 45.00\n"
                              "End Calculated Parameters\n";
    const QString frequencyMajorPadded = "  ***  Calculated Parameters  ***\n"
                                         "12,1,14.15,50,10,45,-3.5,0.9\n"
                                         "   12,   24,   14.15,   50,   10,   40,  -1.0,  0.8\n"
                                         "12,\t24,\t7.1,\t50,\t10,\t60,\t2.0,\t0.7\n"
                                         "***  End Calculated Parameters  ***\n";
    // Another layout, its distance where the reliability usually is; the
    // legend stands inside the block this time.
    const QString withDistance = "Calculated Parameters\n"
                                 "\tColumn 1: Month\n"
                                 "\tColumn 2: Hour\n"
                                 "\tColumn 3: Freq - Frequency (MHz)\n"
                                 "\tColumn 4: Rx latitude\n"
                                 "\tColumn 5: Rx longitude\n"
                                 "\tColumn 6: Dist - Great circle distance (km)\n"
                                 "\tColumn 7: SNR - Signal-to-noise ratio (dB)\n"
                                 "\tColumn 8: BCR - Basic circuit reliability (%)\n"
                                 "12, 24, 7.100, 50.000, 10.000, 7300.0, 12.0, 60.00\n"
                                 "12, 01, 14.150, 50.000, 10.000, 7300.0, 9.0, 45.00\n"
                                 "12, 24, 14.150, 50.000, 10.000, 7300.0, 3.0, 40.00\n"
                                 "End Calculated Parameters\n";
    auto sorted = [](const std::expected<QList<P533::Row>, QString>& parsed) {
        EXPECT_TRUE(parsed.has_value()) << parsed.error().toStdString();
        QList<P533::Row> rows = parsed.value_or(QList<P533::Row>());
        std::ranges::sort(rows, [](const P533::Row& a, const P533::Row& b) {
            return std::tie(a.hourUTC, a.frequencyMHz) < std::tie(b.hourUTC, b.frequencyMHz);
        });
        return rows;
    };
    const QList<P533::Row> a = sorted(P533::parse(hourMajor));
    ASSERT_EQ(a.size(), 3);
    EXPECT_EQ(a, sorted(P533::parse(frequencyMajorPadded)));
    EXPECT_EQ(a, sorted(P533::parse(withDistance)));
    EXPECT_EQ(a[0], (P533::Row { 12, 0, 14.15, 50, 10, 0.45 }));
    EXPECT_EQ(a[1], (P533::Row { 12, 23, 7.1, 50, 10, 0.6 }));

    // A report without a BCR column is refused, never read from the
    // distance; so is one whose legend lacks the hour.
    QString noReliability = withDistance;
    noReliability.replace("Column 8: BCR", "Column 8: MUFday");
    const auto refused = P533::parse(noReliability);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error(), "the report's column legend names no BCR column, so its rows cannot be read");
    QString noHour = withDistance;
    noHour.replace("Column 2: Hour", "Column 2: UT");
    ASSERT_FALSE(P533::parse(noHour).has_value());
    EXPECT_TRUE(P533::parse(noHour).error().contains("no hour column"));

    // Its elevation angle and received power where a legend names no
    // receive location: a path's rows take the path's point; no area's.
    QString path = withDistance;
    path.replace("Rx latitude", "ELE - Elevation angle").replace("Rx longitude", "Pr - Received power (dBW)");
    EXPECT_EQ(sorted(P533::parse(path, GeoCoordinate { 40, -75.5 }))[0], (P533::Row { 12, 0, 14.15, 40, -75.5, 0.45 }));
    ASSERT_FALSE(P533::parse(path).has_value());
    EXPECT_EQ(P533::parse(path).error(), "the report's column legend names no receiver latitude or receiver "
                                         "longitude column, so its rows cannot be read");
}
