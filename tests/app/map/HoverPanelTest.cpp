// The hover panel on the real road: pointer events reach the map view's
// input, the view finds the label or the rested cell under the pointer and
// the panel shows its information and band wheel, with the space weather
// store reading the services' answers from a local peer.
#include "geo/Maidenhead.h"
#include "kit/Color.h"
#include "map/CoverageLayer.h"
#include "map/CoverageLegend.h"
#include "map/HoverInfoView.h"
#include "map/HoverPanel.h"
#include "map/MapContrast.h"
#include "map/MapInput.h"
#include "map/MapOptions.h"
#include "map/MapViewportModel.h"
#include "map/SpaceWeatherLayers.h"
#include "map/WorldMapView.h"
#include "prediction/ITUEngine.h"
#include "prediction/PredictionStore.h"
#include "spaceweather/MUFModel.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/FakeEngine.h"
#include "support/HoverLines.h"
#include "support/HttpPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SpaceWeatherFeeds.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace std::chrono_literals;

namespace {

void clearSettings()
{
    Settings& settings = Settings::standard();
    for (const QString& key : settings.allKeys())
        settings.remove(key);
}

// A 1440 × 720 map (four points per degree) over a store that reads every
// feed from a local peer.
struct HoverMap : testing::Test {
    HttpPeer peer;
    Settings& settings = Settings::standard();
    std::unique_ptr<SpaceWeatherStore> store;
    MapViewportModel viewport;
    std::unique_ptr<WorldMapView> view;

    void SetUp() override
    {
        ASSERT_TRUE(peer.listen());
        setenv("CORVANTA_FEEDS_BASE", qPrintable(peer.base()), 1);
        SpaceWeatherFeeds::serveAll(peer);
        clearSettings();
        settings.set(SettingKeys::predictionEngine, "quick");
        SpaceWeatherStore::Options options;
        options.startLoop = false;
        store = std::make_unique<SpaceWeatherStore>(options);
        store->refresh();
        ASSERT_TRUE(waitUntil([&] { return !store->isLoading(); }));
        view = std::make_unique<WorldMapView>(AppStores { store.get(), &viewport, nullptr, nullptr, nullptr });
        view->resize(1440, 720);
        view->show();
    }

    void TearDown() override
    {
        view.reset();
        setenv("CORVANTA_FEEDS_BASE", "http://127.0.0.1:9", 1);
    }

    static QPointF at(double latitude, double longitude) { return { (longitude + 180) * 4, (90 - latitude) * 4 }; }

    void move(QPointF p)
    {
        QMouseEvent event(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view.get(), &event);
    }

    void leave()
    {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(view.get(), &event);
    }

    HoverPanel& panel() { return *view->hoverPanel(); }

    // The view again, now predicting with the engine of `predictions`, the
    // 20 m coverage layer on. The store's and its data files' back-off
    // follow `now`.
    void predictWith(PredictionStore& predictions)
    {
        settings.set(SettingKeys::predictionEngine, "itu");
        settings.set(SettingKeys::coverageBand, 20);
        predictions.setClock([this] { return now; });
        view = std::make_unique<WorldMapView>(AppStores { store.get(), &viewport, nullptr, &predictions, nullptr });
        view->resize(1440, 720);
        view->show();
        ASSERT_TRUE(view->useITU());
    }

    // A minute of the pointer going from place to place with a repaint at
    // each step, the clock moved on by half a second a step and the
    // engine's runs let end, while `tooMany` does not hold.
    void aMinuteOfPointerMoves(PredictionStore& predictions, const std::function<bool()>& tooMany)
    {
        const QList<PrefixEntity> places { label("JA"), label("VK"), label("ZS"), label("PY"), label("K") };
        for (int step = 0; step < 120 && !tooMany(); ++step) {
            now += 500ms;
            const PrefixEntity& place = places[step % places.size()];
            move(at(place.lat, place.lon) + QPointF(step % 3, 0));
            view->grab();
            // A job begins a few turns of the event loop after it is asked for.
            for (int turn = 0; turn < 5; ++turn)
                QCoreApplication::processEvents();
            waitUntil([&] { return !predictions.busy() && predictions.engine().running() == 0; });
        }
        waitUntil([&] { return !predictions.busy() && predictions.engine().running() == 0; });
    }

    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
};

int mostRunsOfOneRequest(const FakeEngine& fake)
{
    int most = 0;
    for (const int runs : fake.requests())
        most = std::max(most, runs);
    return most;
}

} // namespace

TEST_F(HoverMap, LabelAtOnceCellAfterRestChartOncePerPlaceAndSetup)
{
    const SpaceWeatherSnapshot& snapshot = store->snapshot();
    ASSERT_TRUE(snapshot.aurora && snapshot.kpNow);
    ASSERT_FALSE(snapshot.ionosondes.isEmpty());
    const PrefixEntity ja = label("JA");
    const GeoCoordinate home = view->options().home;

    // On a label the panel is there at once, 5 points off its centre.
    move(at(ja.lat, ja.lon) + QPointF(3, 4));
    ASSERT_TRUE(panel().isVisible());
    EXPECT_EQ(panel().geometry().topLeft(), QPoint(10, 10));
    ASSERT_TRUE(panel().shownContent());
    const HoverPanel::Content first = *panel().shownContent();
    EXPECT_EQ(first.info.nearest, ja);
    EXPECT_EQ(texts(panel().infoView()->lines()).first(), "JA  " + ja.name);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const MUFField field = MUFModel::field(snapshot.ionosondes, snapshot.sunspotNumber, now);
    EXPECT_EQ(first.info.mufHere, field.muf(ja.coordinate()));
    EXPECT_EQ(first.info.pathMUF, field.pathMUF(home, ja.coordinate()));
    EXPECT_EQ(first.info.aurora, snapshot.aurora->value(ja.coordinate()));

    // The wheel: the quick model's day chart from home for the slot's field.
    ASSERT_TRUE(first.wheel && first.wheel->chart);
    EXPECT_EQ(first.wheel->title, "Prediction to JA, today UTC");
    EXPECT_EQ(first.wheel->subtitle, QString::fromUtf8("100 W \u00B7 SSB \u00B7 quick model"));
    EXPECT_EQ(*first.wheel->chart,
              PropagationPredictor(WorldMapView::stationSetup())
                  .dayChart(home, ja.coordinate(), field, field.date(), *snapshot.kpNow));
    EXPECT_TRUE(panel().wheel()->isVisible());
    EXPECT_EQ(panel().wheel()->face(), PropagationWheel::Face::chart);
    EXPECT_EQ(panel().cache().computed(), 1);

    // Moving about on the label computes nothing and draws the wheel once.
    panel().wheel()->grab();
    move(at(ja.lat, ja.lon) + QPointF(-6, 2));
    panel().wheel()->grab();
    EXPECT_EQ(panel().cache().computed(), 1);
    EXPECT_EQ(panel().wheel()->canvasRenders(), 1);

    // Over the open sea the panel waits for the pointer to rest, then shows
    // the two-degree cell.
    const QPointF sea = at(-41.3, -131.7);
    ASSERT_FALSE(view->labelUnderPointer(sea, view->projection()));
    move(sea);
    EXPECT_FALSE(panel().isVisible());
    ASSERT_TRUE(waitUntil([&] { return panel().isVisible(); }));
    const HoverPanel::Content cell = *panel().shownContent();
    ASSERT_TRUE(cell.info.nearest && cell.info.nearest->isCell());
    const QString square = Maidenhead::locator(cell.info.nearest->coordinate(), 4);
    EXPECT_EQ(texts(panel().infoView()->lines()).first(), "Grid square " + square);
    ASSERT_TRUE(cell.wheel);
    EXPECT_EQ(cell.wheel->title, "Prediction to " + square + ", today UTC");
    EXPECT_EQ(panel().cache().computed(), 2);

    // Back on the label: its chart is still there.
    move(at(ja.lat, ja.lon));
    EXPECT_EQ(panel().shownContent()->info.nearest, ja);
    EXPECT_EQ(panel().cache().computed(), 2);

    // A new power drops every chart; the one under the pointer comes again.
    settings.set(SettingKeys::stationPowerW, 400.0);
    EXPECT_EQ(panel().cache().computed(), 3);
    EXPECT_EQ(panel().cache().charts().keys(), QStringList { "JA" });
    EXPECT_EQ(panel().shownContent()->wheel->subtitle, QString::fromUtf8("400 W \u00B7 SSB \u00B7 quick model"));

    // The context menu names the label and turns towards it.
    RotatorConfig beam;
    beam.name = "Beam";
    const MapMenu menu = view->input()->menu({ beam });
    ASSERT_EQ(menu.sections.size(), 1);
    EXPECT_TRUE(menu.sections[0].turns[0].text.startsWith("Turn Beam to JA (short path, "));
    EXPECT_DOUBLE_EQ(menu.sections[0].turns[0].bearing, GeoMath::bearing(home, ja.coordinate()));

    // Leaving the map hides the panel at once.
    leave();
    EXPECT_FALSE(panel().isVisible());
    EXPECT_FALSE(panel().shownContent());
}

// Every failure makes the map repaint and the hover panel ask again; a
// failed request must not be run again at once, nor a missing data file
// asked for again.
TEST_F(HoverMap, AFailingEngineOrDataServerIsNotAskedAgainAtEveryRepaint)
{
    {
        // The engine crashes on every run.
        FakeEngine fake;
        fake.setControl("exit 139\nstderr Segmentation fault\n");
        PredictionStore predictions(new ITUEngine({ fake.engineFolder(), fake.dataFolder(), fake.bundledDataFolder(),
                                                    fake.workParent() }),
                                    nullptr);
        predictWith(predictions);
        ASSERT_NO_FATAL_FAILURE(aMinuteOfPointerMoves(predictions, [&] { return mostRunsOfOneRequest(fake) > 3; }));
        EXPECT_GT(fake.requests().size(), 10); // every place's chart and the coverage map were tried
        EXPECT_LE(mostRunsOfOneRequest(fake), 3);

        // Meanwhile the wheel and the coverage legend show the failure, not
        // a spinner.
        ASSERT_TRUE(panel().wheel()->isVisible());
        EXPECT_EQ(panel().wheel()->face(), PropagationWheel::Face::error);
        EXPECT_EQ(panel().wheel()->content().error, "ITU-R P.533 calculation failed: Segmentation fault");
        const auto* legend = view->findChild<CoverageLegend*>();
        ASSERT_TRUE(legend);
        EXPECT_FALSE(legend->working());
        EXPECT_EQ(legend->failure(), "ITU-R P.533 calculation failed: Segmentation fault");
        EXPECT_TRUE(fake.leftoverWorkFolders().isEmpty());
        view.reset();
    }
    {
        // The data files are missing and the server has none of them.
        FakeEngine fake(false);
        PredictionStore predictions(new ITUEngine({ fake.engineFolder(), fake.dataFolder(), fake.bundledDataFolder(),
                                                    fake.workParent() }),
                                    nullptr);
        predictWith(predictions);
        int mostAsked = 0;
        const auto dataRequests = [&] {
            QHash<QByteArray, int> counts;
            for (const HttpPeer::Request& request : peer.requests())
                if (request.path.contains("/P533/Data/"))
                    mostAsked = std::max(mostAsked, ++counts[request.path]);
            return counts.size();
        };
        ASSERT_NO_FATAL_FAILURE(aMinuteOfPointerMoves(predictions, [&] { return dataRequests(), mostAsked > 3; }));
        EXPECT_EQ(dataRequests(), 3); // the month's ionosphere and noise files, the decile factors
        EXPECT_LE(mostAsked, 3);
        EXPECT_EQ(fake.started(), 0);
        EXPECT_EQ(panel().wheel()->face(), PropagationWheel::Face::error);
        EXPECT_TRUE(panel().wheel()->content().error->endsWith("server answered 404"));
        view.reset();
    }
}

TEST_F(HoverMap, PanelsHideTheMapNothingCoversThemAndTheBandNumbersReadApart)
{
    settings.set(SettingKeys::showCQZones, true);
    settings.set(SettingKeys::showITUZones, true);
    settings.set(SettingKeys::showMUF, true);
    const PrefixEntity ja = label("JA");

    // Over a dark and a light map, on maps so short that the aurora and MUF
    // legends reach up beside them, the panels show as they draw themselves
    // (nothing under or over them shows), the wheel whole with its key.
    for (const auto& [style, height] : { std::pair(MapStyle::midnight, 310), std::pair(MapStyle::arctic, 400) }) {
        settings.set(SettingKeys::mapStyle, MapStyles::rawValue(style));
        view->resize(1024, height);
        move(view->projection().point(ja.lat, ja.lon));
        view->grab();
        ASSERT_TRUE(waitUntil([&] { return !view->findChild<SpaceWeatherLayers*>()->building(); })) << height;
        const QImage seen = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (QWidget* shown : { static_cast<QWidget*>(panel().infoView()), static_cast<QWidget*>(panel().wheel()) }) {
            const QRect frame(shown->mapTo(view.get(), QPoint(0, 0)), shown->size());
            EXPECT_TRUE(view->rect().contains(frame)) << height;
            // The rounded corners' edge pixels are left out.
            const QImage own = shown->grab().toImage().convertToFormat(QImage::Format_RGB32);
            EXPECT_EQ(seen.copy(frame.adjusted(3, 3, -3, -3)), own.copy(own.rect().adjusted(3, 3, -3, -3))) << height;
        }
    }

    // The band numbers over closed rings and over each colour of the ramp:
    // the lightest and the darkest pixel of each number's plate, the text
    // and its ground, stand 4.5 : 1 apart.
    PropagationWheel& wheel = *panel().wheel();
    const QDateTime noon(QDate(2026, 3, 20), QTime(12, 0), QTimeZone::utc());
    const QList<QRectF> plates = PropagationWheel::bandPlates(wheel.canvasSideShown(), 1);
    for (const double value : { 0.0, 0.1, 0.3, 0.5, 0.7, 0.9, 1.0 }) {
        wheel.setContent({ DayChart(24, QList<double>(10, value)), "Prediction", "100 W", noon, std::nullopt });
        const QImage face = wheel.grab().toImage();
        for (int band = 0; band < 10; ++band) {
            const QRect box = plates[band].translated(wheel.canvasRect().topLeft()).toRect().adjusted(2, 1, -2, -1);
            QList<double> shades;
            for (int y = box.top(); y <= box.bottom(); ++y)
                for (int x = box.left(); x <= box.right(); ++x)
                    shades.append(MapContrast::luminance(face.pixelColor(x, y)));
            const auto [darkest, lightest] = std::ranges::minmax(shades);
            EXPECT_GE(MapContrast::ratio(darkest, lightest), 4.5) << band << " over " << value;
        }
    }
    // No two plates come closer than two points at 1× or 2×, on the
    // smallest wheel too.
    for (const int side : { PropagationWheel::smallestCanvasSide, PropagationWheel::canvasSide })
        for (const int ratio : { 1, 2 }) {
            QRegion covered;
            for (const QRectF& plate : PropagationWheel::bandPlates(side, ratio)) {
                const QRect pixels = QRectF(plate.topLeft() * ratio, plate.size() * ratio).toAlignedRect();
                const int gap = 2 * ratio;
                EXPECT_FALSE(covered.intersects(pixels.adjusted(-gap, -gap, gap, gap))) << side << " at " << ratio;
                covered += pixels;
            }
        }
}

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

TEST(HoverPanel, OnAShortMapTheSpotRowsGiveWayAndThePanelStaysWhole)
{
    clearSettings();
    Settings::standard().set(SettingKeys::coverageBand, 20);
    const QDateTime now(QDate(2026, 3, 20), QTime(14, 5), QTimeZone::utc());
    SpaceWeatherSnapshot snapshot;
    SpotGroup group;
    group.label = label("VK");
    for (int i = 0; i < 16; ++i)
        group.spots << spot(QStringLiteral("VK%1ABC").arg(i), 7074 + i, "FT8 -12 dB", now.addSecs(-60 * i));
    const MapOptions options = MapOptions::read(Settings::standard());
    QWidget map;
    auto* panel = new HoverPanel(&map);
    map.resize(1024, 720);
    map.show();
    panel->showFor(group.label, { options, snapshot, { group }, now, true, nullptr });
    // Shown once, the panel follows the map as it grows shorter: the spot
    // rows give way before the place's secondary lines, those before the
    // last row, and the cluster's heading stays with the count.
    qsizetype above = HoverInfo::maxSpotRows;
    for (int height = 720; height >= 240; height = std::min(height, 335) - 5) {
        map.resize(1024, height);
        const QStringList lines = texts(panel->infoView()->lines());
        const qsizetype rows = lines.filter(QRegularExpression("^\\d+\\.0\\|")).size();
        EXPECT_TRUE(rows <= above && (rows == 8 || height < 720)) << rows << " rows at " << height;
        EXPECT_TRUE(rows <= 1 || lines.contains("Antenna from your QTH")) << height;
        EXPECT_EQ(lines.value(lines.size() - 2 - rows), "On the DX cluster now") << height;
        EXPECT_EQ(lines.last(), rows ? "+ " + QString::number(16 - rows) + " more" : "+ 16 spots") << height;
        EXPECT_TRUE(map.rect().contains(panel->geometry())) << height;
        EXPECT_TRUE(panel->wheel()->isVisible() && panel->rect().contains(panel->wheel()->geometry())) << height;
        EXPECT_GE(panel->wheel()->height(), panel->wheel()->sizeHint().height()) << height;
        above = rows;
    }
}
