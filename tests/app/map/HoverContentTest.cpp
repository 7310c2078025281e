// What the hover panel shows, worked out from the map's settings, the
// snapshot and the spots: the label under the pointer, the panel's
// content and lines, and the band wheel's face.
#include "map/CoverageLayer.h"
#include "map/HoverInfoView.h"
#include "map/HoverPanel.h"
#include "map/MapOptions.h"
#include "map/WorldMapView.h"
#include "prediction/ITUEngine.h"
#include "prediction/PredictionStore.h"
#include "prediction/ReliabilityColor.h"
#include "spaceweather/MUFModel.h"
#include "spaceweather/SpaceWeather.h"
#include "support/FakeEngine.h"
#include "support/HoverLines.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

void clearSettings()
{
    Settings& settings = Settings::standard();
    for (const QString& key : settings.allKeys())
        settings.remove(key);
}

DXSpot spot(const QString& call, double kHz, const QString& comment, const QDateTime& time)
{
    return DXSpot(kHz, call, QStringLiteral("DL1ABC"), comment, time);
}

} // namespace

TEST(HoverPanel, LabelUnderThePointer)
{
    const MapProjection projection = MapProjection::forView(QSizeF(1440, 720), MapViewport::world(), true);
    const PrefixEntity dl { "DL", "Germany", 51, 10, "EU" };
    const PrefixEntity oe { "OE", "Austria", 47.5, 14, "EU" };
    const QList<PrefixEntity> prefixes { dl, oe };
    const QPointF atDL = projection.point(dl.lat, dl.lon);
    const auto find = [&](QPointF p, const QList<SpotGroup>& groups, bool showPrefixes, double size) {
        const auto found = HoverPanel::labelUnderPointer(p, projection, groups, prefixes, showPrefixes, size);
        return found ? found->prefix : QString();
    };

    // The reach: 1.3 × the font size, at least 10 points; its edge counts.
    EXPECT_EQ(find(atDL + QPointF(13, 0), {}, true, 10), "DL");
    EXPECT_EQ(find(atDL + QPointF(13.01, 0), {}, true, 10), "");
    EXPECT_EQ(find(atDL + QPointF(0, 10), {}, true, 5), "DL");
    EXPECT_EQ(find(atDL + QPointF(0, 10.5), {}, true, 5), "");
    EXPECT_EQ(find(atDL + QPointF(-26, 0), {}, true, 20), "DL");

    // The nearest wins; a spotted label placed where a prefix label is
    // comes first at the same distance; hidden prefixes leave only spots.
    const QPointF between = (atDL + projection.point(oe.lat, oe.lon)) / 2;
    EXPECT_EQ(find(between + QPointF(0.5, 0), {}, true, 24), "OE");
    SpotGroup spotted;
    spotted.label = { "DL", "Fed. Rep. of Germany", 51, 10, "EU" };
    const auto found = HoverPanel::labelUnderPointer(atDL, projection, { spotted }, prefixes, true, 10);
    EXPECT_EQ(found->name, "Fed. Rep. of Germany");
    EXPECT_EQ(find(projection.point(oe.lat, oe.lon), { spotted }, false, 10), "");
    EXPECT_EQ(find(atDL, { spotted }, false, 10), "DL");
}

TEST(HoverPanel, ContentFollowsTheSettingsAndTheSpots)
{
    clearSettings();
    Settings& settings = Settings::standard();
    settings.set(SettingKeys::predictionEngine, "quick");
    const QDateTime now(QDate(2026, 3, 20), QTime(14, 5), QTimeZone::utc());
    SpaceWeatherSnapshot snapshot;
    snapshot.kpNow = 2.5;
    QList<SpotGroup> groups;
    SpotGroup group;
    group.label = label("K");
    group.spots << spot("W1AW", 14025, "CQ", now.addSecs(-90));
    groups << group;
    PredictionCache cache;
    const auto content = [&](const PrefixEntity& entity) {
        const MapOptions options = MapOptions::read(settings);
        return HoverPanel::content(entity, { options, snapshot, groups, now, true, nullptr }, cache);
    };
    const GeoCoordinate home = MapOptions::read(settings).home;
    const auto place = [&](double km) {
        const GeoCoordinate at = GeoMath::destination(home, 90, km);
        return PrefixEntity { "X" + QString::number(km), "Somewhere", at.latitude, at.longitude, "EU" };
    };

    // No wheel up to 300 km (home included), nor with the wheel switched off.
    EXPECT_FALSE(content(place(0)).wheel);
    EXPECT_FALSE(content(place(299.9)).wheel);
    EXPECT_TRUE(content(place(300.1)).wheel);
    settings.set(SettingKeys::showPredictionWheel, false);
    EXPECT_FALSE(content(place(300.1)).wheel);
    settings.set(SettingKeys::showPredictionWheel, true);

    // The spots of the label under the pointer, with the need scope's word.
    HoverPanel::Content k = content(label("K"));
    ASSERT_TRUE(k.info.group);
    EXPECT_EQ(k.info.group->spots.first().call, "W1AW");
    EXPECT_EQ(k.info.neededLabel, "NEW ONE");
    EXPECT_FALSE(content(label("JA")).info.group);
    settings.set(SettingKeys::clusterNeedScope, "bandCountry");
    EXPECT_EQ(content(label("K")).info.neededLabel, "NEW BAND");
    settings.set(SettingKeys::clusterNeedScope, "BandCountry");
    EXPECT_EQ(content(label("K")).info.neededLabel, "NEW ONE");
    settings.set(SettingKeys::clusterWatchColor, "#102030");
    EXPECT_EQ(content(label("K")).info.watchColor, QColor(0x10, 0x20, 0x30));

    // The coverage line: only for a predicted band, from the quick model.
    EXPECT_FALSE(k.info.coverageLine);
    settings.set(SettingKeys::coverageBand, 20);
    const double value = *CoverageLayer::quickValue(label("K").coordinate(), home, Band::m20, {}, std::nullopt, now,
                                                    2.5, WorldMapView::stationSetup());
    EXPECT_EQ(content(label("K")).info.coverageLine,
              QString::asprintf("Coverage on 20 m here, this hour: %.0f%%", value * 100));
    settings.set(SettingKeys::coverageBand, 6);
    EXPECT_FALSE(content(label("K")).info.coverageLine);

    // A Kp within the same third keeps the charts; a new third drops them.
    const int computed = cache.computed();
    snapshot.kpNow = 2.6;
    content(label("K"));
    EXPECT_EQ(cache.computed(), computed);
    snapshot.kpNow = 2.7;
    content(label("K"));
    EXPECT_EQ(cache.computed(), computed + 1);
    EXPECT_EQ(cache.charts().size(), 1);
    // So does the next ten-minute slot.
    EXPECT_NE(PredictionCache::key(MUFModel::key({}, std::nullopt, now), home, WorldMapView::stationSetup(), 2.7),
              PredictionCache::key(MUFModel::key({}, std::nullopt, now.addSecs(600)), home,
                                   WorldMapView::stationSetup(), 2.7));
    EXPECT_EQ(PredictionCache::key(1, { 0.0, 10 }, WorldMapView::stationSetup(), std::nullopt),
              PredictionCache::key(1, { -0.0, 10 }, WorldMapView::stationSetup(), std::nullopt));
}

TEST(HoverPanel, EngineWheelWaitsForTheChartAndShowsItsError)
{
    clearSettings();
    FakeEngine fake;
    std::unique_ptr<PredictionStore> engine(
        new PredictionStore(new ITUEngine({ fake.engineFolder(), fake.dataFolder(), fake.bundledDataFolder(),
                                            fake.workParent() }),
                            nullptr));
    const MapOptions options = MapOptions::read(Settings::standard());
    const SpaceWeatherSnapshot snapshot;
    const QList<SpotGroup> groups;
    PredictionCache cache;
    const auto content = [&](const PrefixEntity& entity) {
        return HoverPanel::content(entity,
                                   { options, snapshot, groups, QDateTime::currentDateTimeUtc(), true, engine.get() },
                                   cache);
    };
    HoverPanel::Content vk = content(label("VK"));
    ASSERT_TRUE(vk.wheel);
    EXPECT_FALSE(vk.wheel->chart);
    EXPECT_TRUE(vk.wheel->subtitle.endsWith("ITU-R P.533"));
    ASSERT_TRUE(waitUntil([&] { return content(label("VK")).wheel->chart.has_value(); }));
    EXPECT_EQ(cache.computed(), 0);

    fake.setControl("exit 2\nstderr no luck\n");
    HoverPanel::Content zs = content(label("ZS"));
    EXPECT_FALSE(zs.wheel->chart);
    ASSERT_TRUE(waitUntil([&] { return engine->lastError().has_value(); }));
    zs = content(label("ZS"));
    PropagationWheel wheel;
    wheel.setContent(*zs.wheel);
    EXPECT_EQ(wheel.face(), PropagationWheel::Face::error);
    wheel.setContent({ std::nullopt, "t", "s", QDateTime::currentDateTimeUtc(), std::nullopt });
    EXPECT_EQ(wheel.face(), PropagationWheel::Face::loading);
}

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

// A short map keeps the whole panel: the spot rows give way, the last
// first, to the line counting those left out, then the place's secondary
// lines, whose room takes spot rows again; the wheel is drawn smaller.
TEST(HoverPanel, OnAShortMapTheSpotRowsGiveWayAndThePanelStaysWhole)
{
    clearSettings();
    Settings::standard().set(SettingKeys::coverageBand, 20);
    const QDateTime now(QDate(2026, 3, 20), QTime(14, 5), QTimeZone::utc());
    SpaceWeatherSnapshot snapshot;
    SpotGroup group;
    group.label = label("VK");
    for (int i = 0; i < 14; ++i)
        group.spots << spot(QStringLiteral("VK%1ABC").arg(i), 7074 + i, "FT8 -12 dB", now.addSecs(-60 * i));
    const MapOptions options = MapOptions::read(Settings::standard());
    QWidget map;
    auto* panel = new HoverPanel(&map);
    map.show();
    for (const int height : { 720, 310, 270, 250 }) {
        map.resize(1024, height);
        panel->showFor(group.label, { options, snapshot, { group }, now, true, nullptr });
        const QStringList lines = texts(panel->infoView()->lines());
        const qsizetype rows = lines.filter(QRegularExpression("^\\d+\\.0\\|")).size();
        EXPECT_TRUE(rows == 8 || (rows > 0 && height < 720) || height == 250) << rows << " rows at " << height;
        EXPECT_EQ(lines.last(), "+ " + QString::number(14 - rows) + " more") << height;
        EXPECT_EQ(lines.contains("Antenna from your QTH"), height > 270) << height;
        EXPECT_TRUE(map.rect().contains(panel->geometry())) << height;
        EXPECT_TRUE(panel->wheel()->isVisible() && panel->rect().contains(panel->wheel()->geometry())) << height;
        EXPECT_GE(panel->wheel()->height(), panel->wheel()->sizeHint().height()) << height;
    }
}
