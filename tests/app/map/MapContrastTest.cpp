// The map's overlay texts in the light styles, on the real road: the space
// weather store reads the services' answers from a local peer, a rotator
// turns through rotctld, a cluster node spots a watched call, and the map
// view paints it all with every layer on. Each text must read against its
// own background (its plate or glow over whatever lies beneath) at the
// ratio the web's accessibility rules ask of text. The legends hide the map
// in every style, and their lines read at that ratio too.
#include "map/MapContrast.h"

#include "cluster/DXClusterClient.h"
#include "geo/SolarCalculator.h"
#include "geo/Zones.h"
#include "kit/LabelFonts.h"
#include "map/AuroraLegend.h"
#include "map/DXSpotLayer.h"
#include "map/HoverPanel.h"
#include "map/MUFContourLayer.h"
#include "map/MUFLegend.h"
#include "map/MapViewportModel.h"
#include "map/RotatorLayer.h"
#include "map/RotatorLegend.h"
#include "map/SpaceWeatherLayers.h"
#include "map/WorldMapView.h"
#include "rotator/RotatorManager.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/ClusterNodePeer.h"
#include "support/FastClusterTiming.h"
#include "support/FastRotatorTimings.h"
#include "support/HttpPeer.h"
#include "support/RotctldPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SpaceWeatherFeeds.h"
#include "support/WaitUntil.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QRegion>
#include <QSet>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace std::chrono_literals;

namespace {

// A text on the map: what it reads and the box it is drawn in, in points.
struct PlacedText {
    QString kind;
    QString what;
    QRectF box;
};

QRectF boxAround(QPointF centre, const QFont& font, const QString& text)
{
    const QFontMetricsF metrics(font);
    const QSizeF size(metrics.horizontalAdvance(text), metrics.height());
    return QRectF(centre - QPointF(size.width() / 2, size.height() / 2), size);
}

QFont systemFont(int pixels)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixels);
    font.setWeight(QFont::Bold);
    return font;
}

} // namespace

TEST(MapContrast, EveryOverlayTextReadsOnItsOwnBackgroundAndTheLegendsHideTheMapInEveryStyle)
{
    Settings& settings = Settings::standard();
    for (const QString& key : settings.allKeys())
        settings.remove(key);

    HttpPeer feeds;
    ASSERT_TRUE(feeds.listen());
    setenv("CORVANTA_FEEDS_BASE", qPrintable(feeds.base()), 1);
    SpaceWeatherFeeds::serveAll(feeds);
    RotctldPeer daemon;
    ASSERT_TRUE(daemon.isRunning()) << "rotctld (Debian libhamlib-utils) is needed";
    ClusterNodePeer node;
    ASSERT_TRUE(node.listen());

    for (const BoolKey& layer :
         { SettingKeys::showGreyline, SettingKeys::showAurora, SettingKeys::showMUF, SettingKeys::showCQZones,
           SettingKeys::showITUZones, SettingKeys::showGrid, SettingKeys::clusterEnabled })
        settings.set(layer, true);
    // The prefix labels keep a colour of their own per style; here they
    // would only crowd the texts under test.
    settings.set(SettingKeys::showPrefixes, false);
    settings.set(SettingKeys::callsign, "LY2ABC");
    // A station in the South Atlantic, away from the crowd of labels over
    // Europe.
    settings.set(SettingKeys::homeLatitude, -40.0);
    settings.set(SettingKeys::homeLongitude, -30.0);
    settings.set(SettingKeys::clusterNode, "custom");
    settings.set(SettingKeys::clusterCustomAddress, node.address());
    settings.set(SettingKeys::clusterWatchCalls, "DL1ABC");
    RotatorConfig tower;
    tower.name = "Tower";
    tower.proto = RotatorProtocol::rotctld;
    tower.host = "127.0.0.1";
    tower.tcpPort = daemon.port();
    tower.softStart = false;
    tower.beamWidth = 4; // a shade over few texts; the colour is the configuration's default
    RotatorConfig::save(settings, { tower });

    SpaceWeatherStore::Options weatherOptions;
    weatherOptions.startLoop = false;
    SpaceWeatherStore weather(weatherOptions);
    weather.refresh();
    RotatorManager rotors(settings, fastRotatorTimings());
    DXClusterClient::Timing timing = fastClusterTiming();
    DXClusterClient::Services services;
    services.labels = WorldMapView::prefixes();
    DXClusterClient cluster(settings, timing, services);

    MapViewportModel viewport;
    WorldMapView view(AppStores { &weather, &viewport, &cluster, nullptr, &rotors });
    // The view's clock stands still, so the texts that move with the hour
    // (the MUF contours' labels, the Sun) stand where they do whenever the
    // test runs, at a beat that outlines the spots' plates (highlighted and
    // ordinary plates both outlined, the ring at its widest).
    QDateTime moment(QDate(2026, 12, 8), QTime(1, 15), QTimeZone::utc());
    while (DXSpotLayer::beat(moment) % 4 != 3)
        moment = moment.addMSecs(50);
    view.setClock([moment] { return moment; });
    view.resize(1200, 600);
    view.show();
    ASSERT_TRUE(waitUntil([&] { return !weather.isLoading(); }));
    ASSERT_TRUE(waitUntil([&] { return node.receivedLines(0).size() >= 2; })) << "logged in";
    const QTime spotted = QDateTime::currentDateTimeUtc().time();
    node.send("\r\n" + ClusterNodePeer::liveSpot("W1AW", 14025.0, "DL1ABC", "cq", spotted)
              + ClusterNodePeer::liveSpot("W1AW", 7010.0, "JA1XYZ", "cq", spotted)
              + ClusterNodePeer::liveSpot("W1AW", 21025.0, "VK2AB", "", spotted));
    ASSERT_TRUE(waitUntil([&] { return cluster.activeSpots(view.displayOptions()).size() == 3; }));
    ASSERT_TRUE(waitUntil([&] {
        const auto s = rotors.status().constFind(tower.id);
        return s != rotors.status().cend() && s->heading.has_value();
    }));

    // Where each text goes, as the layers place them, and the marks that
    // may stand on a text (a text under one is left out).
    const MapProjection projection = view.projection();
    const MapOptions& o = view.options();
    QList<PlacedText> texts;
    QList<QPolygonF> marks;
    QList<QPolygonF> shades;
    const auto disc = [](QPointF centre, double radius) {
        return QPolygonF(QRectF(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius)));
    };
    const QFont zoneFont = labelFont(o.zoneFont, o.zoneSize, o.zoneBold);
    for (const ZoneKind kind : { ZoneKind::cq, ZoneKind::itu })
        for (const RadioZone& zone : Zones::zones(kind))
            texts.append({ "zone",
                           QStringLiteral("zone ") + QString::number(zone.number),
                                          boxAround(projection.point(zone.labelLat, zone.labelLon), zoneFont,
                                                    QString::number(zone.number)) });
    const QPointF home = projection.point(o.home);
    const QFontMetricsF callsign(systemFont(11));
    texts.append({ "callsign", "LY2ABC",
                   QRectF(home.x() + 12, home.y() - 10 - callsign.height() / 2, callsign.horizontalAdvance("LY2ABC"),
                          callsign.height()) });
    marks << disc(home, 10)
          << disc(projection.point(SolarCalculator::position(view.slowLayerDate()).subsolarPoint), 14);
    for (const IonosondeReading& reading : weather.snapshot().ionosondes)
        marks << disc(projection.point(reading.coordinate), 14);
    // The beam shades what lies under it, texts too, but for its own label
    // on its plate.
    const double heading = *rotors.status().value(tower.id).heading;
    const RotatorLayer beams { projection, o.home, rotors.rotators(), rotors.status(), WorldMapView::halo(o.mapStyle) };
    const QString beamText = RotatorLayer::labelText(tower.name, heading);
    texts.append({ "rotator", beamText, boxAround(beams.labelCentre(heading, 0), systemFont(12), beamText) });
    for (const RotatorLayer::BeamBand& band : RotatorLayer::beamBands)
        for (const double shift : { -360.0, 0.0, 360.0 })
            shades << projection.worldTransform().map(RotatorLayer::wedge(o.home, heading,
                                                                          RotatorLayer::halfWidth(tower.beamWidth),
                                                                          band.innerKm, band.outerKm)
                                                          .translated(shift, 0));
    const QFont spotFont = labelFont(o.prefixFont, o.prefixSize, true);
    for (const SpotGroup& group : cluster.activeSpots(view.displayOptions()))
        texts.append({ "spot", "spot " + group.label.prefix,
                       boxAround(projection.point(group.label.lat, group.label.lon), spotFont, group.label.prefix) });
    auto& layers = *view.findChild<SpaceWeatherLayers*>();

    // A style's map, once its space weather images are made.
    const auto renderStyle = [&](MapStyle style) {
        settings.set(SettingKeys::mapStyle, MapStyles::rawValue(style));
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        for (;;) {
            image.fill(Qt::magenta);
            QPainter painter(&image);
            view.render(painter);
            painter.end();
            if (!layers.building())
                return image;
            if (!waitUntil([&] { return !layers.building(); })) {
                ADD_FAILURE() << "the space weather images of " << MapStyles::rawValue(style).toStdString()
                              << " were never made";
                return image;
            }
        }
    };
    // The light styles' maps, and every style's view with its legends.
    std::map<MapStyle, QImage> images;
    std::map<MapStyle, QImage> every;
    for (const MapStyle style : MapStyles::allCases()) {
        const QImage map = renderStyle(style);
        if (MapStyles::isLight(style))
            images[style] = map;
        every[style] = view.grab().toImage();
    }
    ASSERT_EQ(images.size(), 6u);

    // The legends hide the map: inside their frames (the rounded corners'
    // edge pixels left out) they are the same in every style, and each of
    // their lines, the grey ones too, reads there: its fullest ink against
    // the most common shade of its box.
    for (QWidget* legend : std::initializer_list<QWidget*> {
             view.findChild<AuroraLegend*>(), view.findChild<MUFLegend*>(), view.findChild<RotatorLegend*>() }) {
        ASSERT_TRUE(legend && legend->isVisibleTo(&view));
        const QRect frame(legend->mapTo(&view, QPoint(0, 0)), legend->size());
        marks << QPolygonF(QRectF(frame)); // a text under a legend is hidden, as it should be
        const QRect area = frame.adjusted(3, 3, -3, -3);
        for (const auto& [style, image] : every) {
            const std::string where
                = legend->metaObject()->className() + (" in " + MapStyles::rawValue(style)).toStdString();
            EXPECT_EQ(image.copy(area), every.begin()->second.copy(area)) << where;
            for (const QLabel* line : legend->findChildren<QLabel*>()) {
                const QRect box(line->mapTo(&view, QPoint(0, 0)), line->size());
                QList<double> shades;
                for (int y = box.top(); y <= box.bottom(); ++y)
                    for (int x = box.left(); x <= box.right(); ++x)
                        shades.append(MapContrast::luminance(image.pixelColor(x, y)));
                std::ranges::nth_element(shades, shades.begin() + shades.size() / 2);
                EXPECT_GE(MapContrast::ratio(std::ranges::max(shades), shades[shades.size() / 2]), 4.5)
                    << where << ": " << line->text().toStdString();
            }
        }
    }

    const QTransform world = projection.worldTransform();
    const QFont mufFont = MUFContourLayer::labelFont();
    for (const MUFModel::Contour& contour : layers.contours())
        for (const QPointF& at : contour.labels)
            texts.append(
                { "MUF", "MUF " + MUFContourLayer::label(contour.level),
                  boxAround(world.map(at), mufFont, MUFContourLayer::label(contour.level)).adjusted(-3, 0, 3, 0) });

    // A text's ink is opaque: the same in every style, while its plate or
    // glow lets the style's own ground through. Its background is the rest
    // of its box. A contour line runs through each MUF label and stays
    // opaque under its plate, so a quarter of the ink must read, and at
    // least ten pixels of it.
    const QRect inside = images.begin()->second.rect();
    QSet<QString> checked;
    for (const PlacedText& text : texts) {
        const QRect box = text.box.adjusted(-2, -2, 2, 2).toAlignedRect();
        // The MUF labels move with the hour; where one meets a text that
        // stays, the one that stays is checked.
        const auto overlaps = [&](const PlacedText& other) {
            return &other != &text && other.box.intersects(text.box) && (text.kind == "MUF" || other.kind != "MUF");
        };
        const auto covers = [&](const QPolygonF& mark) { return mark.intersects(QPolygonF(text.box)); };
        if (!inside.contains(box) || std::ranges::any_of(texts, overlaps) || std::ranges::any_of(marks, covers)
            || (text.kind != "rotator" && std::ranges::any_of(shades, covers)))
            continue;
        QSet<QPoint> ink;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                const QRgb first = images.begin()->second.pixel(x, y);
                if (std::ranges::all_of(images, [&](const auto& entry) { return entry.second.pixel(x, y) == first; }))
                    ink.insert({ x, y });
            }
        for (const auto& [style, image] : images) {
            QList<double> ground;
            for (int y = box.top(); y <= box.bottom(); ++y)
                for (int x = box.left(); x <= box.right(); ++x)
                    if (!ink.contains(QPoint(x, y)))
                        ground.append(MapContrast::luminance(image.pixelColor(x, y)));
            ASSERT_FALSE(ground.isEmpty());
            std::ranges::nth_element(ground, ground.begin() + ground.size() / 2);
            const double background = ground[ground.size() / 2];
            const auto reads = std::ranges::count_if(ink, [&](QPoint p) {
                return MapContrast::ratio(MapContrast::luminance(image.pixelColor(p)), background) >= 4.5;
            });
            EXPECT_TRUE(reads >= 10 && reads * 4 >= ink.size())
                << text.what.toStdString() << " in " << MapStyles::rawValue(style).toStdString() << ": " << reads
                << " of " << ink.size() << " ink pixels read on a ground of luminance " << background;
        }
        checked << text.kind;
    }
    EXPECT_EQ(checked, (QSet<QString> { "zone", "MUF", "callsign", "rotator", "spot" }));

    // With the coverage legend and the zoom badge too, at every width from
    // the least the window allows, on a short map and a tall one, no two
    // legends or badges share a pixel.
    settings.set(SettingKeys::coverageBand, 20);
    viewport.zoom(2);
    for (int width = 960; width <= 1920; width += 16)
        for (const int height : { 250, 600 }) {
            view.resize(width, height);
            QRegion taken;
            int shown = 0;
            for (QWidget* overlay : view.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (overlay->isVisibleTo(&view) && overlay != view.hoverPanel()) {
                    EXPECT_FALSE(taken.intersects(overlay->geometry()))
                        << overlay->metaObject()->className() << " at " << width << " × " << height;
                    taken += overlay->geometry();
                    ++shown;
                }
            ASSERT_EQ(shown, 5);
        }
    setenv("CORVANTA_FEEDS_BASE", "http://127.0.0.1:9", 1);
}
