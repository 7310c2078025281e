// What the hover panel works out and draws by itself: the lines of a place
// and its spots, and the band wheel.
#include "geo/GeoMath.h"
#include "map/PropagationWheel.h"
#include "prediction/ReliabilityColor.h"
#include "support/HoverLines.h"

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <cmath>

TEST(HoverInfo, LinesOfThePlaceAndItsSpots)
{
    const QDateTime now(QDate(2026, 6, 21), QTime(12, 0), QTimeZone::utc());
    HoverInfo info;
    info.home = { 54.687, 25.28 };
    info.coordinate = { 78.2, 15.6 }; // Svalbard at midsummer
    info.mufHere = 12.4;
    info.measuredShare = 0.3;
    info.watchColor = Qt::green;
    info.neededColor = Qt::yellow;
    info.spotColor = Qt::magenta;
    info.neededLabel = "NEW ONE";
    info.aurora = 3;

    QStringList lines = texts(info.lines(now));
    EXPECT_TRUE(lines.first().startsWith("CQ zone ")); // no label: no header
    EXPECT_TRUE(lines.contains("Sun up all day (midnight sun)"));
    EXPECT_TRUE(lines.contains("MUF here \u2248 12 MHz"));
    EXPECT_FALSE(lines.filter("Aurora").size());
    info.aurora = 4;
    info.measuredShare = 0.29;
    lines = texts(info.lines(now));
    EXPECT_TRUE(lines.contains("Aurora probability 4%"));
    EXPECT_TRUE(lines.contains("MUF here \u2248 12 MHz, modelled estimate"));

    // Bearings and distances: due north, so the long path points south.
    info.coordinate = { 80, 25.28 };
    lines = texts(info.lines(now));
    const double d = GeoMath::distanceKm(info.home, info.coordinate);
    EXPECT_TRUE(lines.contains("Short path|000\u00B0|" + HoverInfo::km(d)));
    EXPECT_TRUE(lines.contains("Long path|180\u00B0|" + HoverInfo::km(GeoMath::earthCircumferenceKm - d)));
    EXPECT_EQ(HoverInfo::km(1234567.4), "1 234 567 km");
    EXPECT_EQ(HoverInfo::km(999.5), "1 000 km");
    EXPECT_EQ(HoverInfo::km(12), "12 km");

    // Nine spots: eight rows and a line for the ninth; watched wins over
    // needed; comments and calls stay as the node sent them.
    SpotGroup group;
    for (int i = 0; i < 9; ++i)
        group.spots << spot(QStringLiteral("K%1AB").arg(i), 14000 + i, i == 0 ? QString() : "<b>up 2</b>",
                                           now.addSecs(-60 * i - 59));
    group.watchedIDs << group.spots[0].id();
    group.neededIDs << group.spots[0].id() << group.spots[1].id();
    info.group = group;
    const QList<HoverLine> all = info.lines(now);
    lines = texts(all);
    EXPECT_EQ(lines.filter(QRegularExpression("^140\\d\\d\\.0\\|")).size(), HoverInfo::maxSpotRows);
    EXPECT_EQ(lines.last(), "+ 1 more");
    EXPECT_TRUE(lines.contains("14000.0|CW|K0AB|now|WATCHED|de DL1ABC"));
    EXPECT_TRUE(lines.contains("14001.0|CW|K1AB|1 min|NEW ONE|<b>up 2</b>  de DL1ABC"));
    for (const HoverLine& line : all)
        if (!line.cells.isEmpty() && line.cells.first().text == "14000.0") {
            EXPECT_EQ(line.cells[2].colour, QColor(Qt::green));
        }
    info.group->spots.resize(8);
    EXPECT_NE(texts(info.lines(now)).last(), "+ 1 more");
    info.group->spots.clear();
    EXPECT_FALSE(texts(info.lines(now)).contains("On the DX cluster now"));

    EXPECT_EQ(HoverInfo::age(now.addSecs(30), now), "now");
    EXPECT_EQ(HoverInfo::utcTime(std::nullopt), "--:--");
    EXPECT_EQ(HoverInfo::utcTime(now.addSecs(-3 * 3600 - 300)), "08:55z");
}

TEST(PropagationWheel, CentreColoursAndMarkerFollowTheChartAndTheHour)
{
    // The best band of the hour, the first on ties (17 m before 20 m).
    DayChart chart(24, QList<double>(10, 0.0));
    chart[5][3] = 0.125; // 17 m
    chart[5][4] = 0.125; // 20 m
    EXPECT_EQ(PropagationWheel::centreTexts(chart, 5), (QStringList { "NOW", "17 m", "13%" }));
    EXPECT_EQ(PropagationWheel::centreTexts(chart, 6), QStringList { "closed\nnow" });
    EXPECT_EQ(PropagationWheel::centreTexts(DayChart(), 6), QStringList { "closed\nnow" });

    // Hour 3 of the outer ring (10 m) sits clockwise from the top; a cell
    // below 0.05 stays clear. The current hour is outlined in white.
    chart[3][0] = 0.95;
    chart[9][0] = 0.04;
    QImage image(250, 250, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        PropagationWheel::paintWheel(painter, 250, chart, 23);
    }
    const double radius = 125 - 16;
    const double ring = 0.7 * radius / 10;
    const auto pixel = [&](double hour, double r) {
        const double a = (hour * 15 - 90) * M_PI / 180;
        return image.pixelColor(int(125 + std::cos(a) * r), int(125 + std::sin(a) * r));
    };
    const QColor hot = *reliabilityColor(0.95);
    const QColor seen = pixel(3.5, radius - ring / 2);
    EXPECT_NEAR(seen.redF(), hot.redF(), 0.02);
    EXPECT_NEAR(seen.greenF(), hot.greenF(), 0.02);
    EXPECT_EQ(pixel(9.5, radius - ring / 2).alpha(), 0);
    EXPECT_EQ(pixel(20.5, radius - ring / 2).alpha(), 0);       // hour 20: mirror image of 3
    EXPECT_EQ(pixel(23, radius - 3 * ring), QColor(Qt::white)); // the marker's edge

    // The picture is drawn once per chart and hour.
    PropagationWheel wheel;
    const QDateTime at(QDate(2026, 3, 20), QTime(23, 30), QTimeZone::utc());
    wheel.setContent({ chart, "Prediction to JA, today UTC", "100 W", at, std::nullopt });
    wheel.grab();
    wheel.setContent({ chart, "Prediction to JA, today UTC", "100 W", at.addSecs(600), std::nullopt });
    wheel.grab();
    EXPECT_EQ(wheel.canvasRenders(), 1);
    wheel.setContent({ chart, "Prediction to JA, today UTC", "100 W", at.addSecs(1800), std::nullopt });
    wheel.grab();
    EXPECT_EQ(wheel.canvasRenders(), 2);
}
