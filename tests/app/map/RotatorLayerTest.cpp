#include "map/RotatorLayer.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

// Two pixels per degree, the whole world.
const MapProjection world { QSizeF(720, 360), MapViewport::world(), QSizeF(720, 360) };

RotatorConfig rotator(const QString& name, const QString& color, double beamWidth)
{
    RotatorConfig config;
    config.name = name;
    config.color = color;
    config.beamWidth = beamWidth;
    return config;
}

RotatorStatus at(double heading, std::optional<double> target = std::nullopt)
{
    RotatorStatus status;
    status.heading = heading;
    status.target = target;
    status.connected = true;
    return status;
}

QImage draw(const RotatorLayer& layer)
{
    QImage image(layer.projection.size.toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    layer.paint(painter);
    return image;
}

// The strongest pixel near a view point by a measure, over a 3 × 3 square.
int strongest(const QImage& image, QPointF p, const std::function<int(QRgb)>& measure)
{
    int best = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint q(int(std::floor(p.x())) + dx, int(std::floor(p.y())) + dy);
            if (image.rect().contains(q))
                best = std::max(best, measure(image.pixel(q)));
        }
    return best;
}

int alpha(QRgb p) { return qAlpha(p); }
int green(QRgb p) { return qAlpha(p) > 0 && qRed(p) < 60 && qBlue(p) < 60 ? qGreen(p) : 0; }

QPointF along(const GeoCoordinate& home, double bearing, double km)
{
    return world.point(GeoMath::destination(home, bearing, km));
}

// The strongest pixel along a stretch of a line, for dashed lines.
int strongestAlong(const QImage& image, const GeoCoordinate& home, double bearing, double fromKm, double toKm,
                   const std::function<int(QRgb)>& measure)
{
    int best = 0;
    for (double km = fromKm; km < toKm; km += 20)
        best = std::max(best, strongest(image, along(home, bearing, km), measure));
    return best;
}

} // namespace

TEST(RotatorLayer, WedgesAreOneContinuousPieceAndNeverNarrowerThanTwoDegrees)
{
    const GeoCoordinate fiji { -18, 178 };
    QList<qsizetype> sizes;
    for (const RotatorLayer::BeamBand& band : RotatorLayer::beamBands) {
        const QPolygonF wedge = RotatorLayer::wedge(fiji, 80, 30, band.innerKm, band.outerKm);
        sizes << wedge.size();
        // Eastwards from 178° E the band runs past the date line, and each
        // point stays within half a world of the one before.
        for (qsizetype i = 1; i < wedge.size(); ++i)
            ASSERT_LT(std::abs(wedge[i].x() - wedge[i - 1].x()), 180) << i;
    }
    // The near band starts at the station, so its far arc lies beyond
    // 180° E rather than wrapped to the west.
    EXPECT_GT(RotatorLayer::wedge(fiji, 80, 30, 0, 5000)[32].x(), 360);
    EXPECT_EQ(sizes, (QList<qsizetype> { 65, 89, 89 }));

    // The first band closes at the station. Heading 350 and 60° wide: the
    // far arc runs from 320 to 380 (that is 20) without folding.
    const QPolygonF near = RotatorLayer::wedge(fiji, 350, 30, 0, 5000);
    EXPECT_EQ(near.first(), near.last());
    auto bearingOf = [&](QPointF p) { return GeoMath::bearing(fiji, { 90 - p.y(), p.x() - 180 }); };
    EXPECT_NEAR(bearingOf(near[20]), 320, 1e-6);
    EXPECT_NEAR(bearingOf(near[44]), 20, 1e-6);

    // A beam of width 0, 1 or 2 is 2° wide.
    for (const double width : { 0.0, 1.0, 2.0 }) {
        const double half = RotatorLayer::halfWidth(width);
        const QPolygonF thin = RotatorLayer::wedge(fiji, 45, half, 0, 5000);
        EXPECT_NEAR(bearingOf(thin[20]), 44, 1e-6) << width;
        EXPECT_NEAR(bearingOf(thin[44]), 46, 1e-6) << width;
    }
}

TEST(RotatorLayer, BeamLinesAndLabelAreDrawnOnBothSidesOfTheDateLine)
{
    const GeoCoordinate fiji { -18, 178 };
    RotatorConfig beam = rotator("Yagi", "#00FF00", 60);
    RotatorLayer layer { world, fiji, { beam }, { { beam.id, at(90, 300) } }, QColor(0, 0, 0, 230) };
    const QImage image = draw(layer);

    // The heading line in the full colour, west of the date line and past
    // it at the map's western edge.
    EXPECT_GT(strongest(image, along(fiji, 90, 150), green), 200);
    const QPointF beyond = along(fiji, 90, 3000);
    ASSERT_LT(beyond.x(), 100); // drawn at the other edge of the map
    EXPECT_GT(strongest(image, beyond, green), 200);

    // Inside the beam but off its lines and its label: the near band's light
    // shade, the farther bands lighter still.
    auto shade = [&](double bearing, double km) { return qAlpha(image.pixel(along(fiji, bearing, km).toPoint())); };
    EXPECT_NEAR(shade(70, 2500), 0.22 * 255, 3);
    EXPECT_NEAR(shade(75, 3500), 0.22 * 255, 3);
    EXPECT_NEAR(shade(105, 7500), 0.13 * 255, 3);
    EXPECT_NEAR(shade(75, 12000), 0.07 * 255, 3);
    // Outside the beam, away from the target line: nothing.
    EXPECT_EQ(shade(140, 3000), 0);
    EXPECT_EQ(shade(40, 3000), 0);

    // The target line (300°) is drawn, dashed: somewhere along its first
    // 2000 km in the line's colour.
    EXPECT_GT(strongestAlong(image, fiji, 300, 200, 2000, green), 180);

    // The label sits nine tenths of the way to the point 1200 km out, on the
    // station's side of the date line: past the map's eastern edge here, so
    // it shows, on its dark plate, at the western edge beside the beam.
    const QPointF label = layer.labelCentre(90, 0);
    const QPointF reach = world.point(GeoMath::destination(fiji, 90, 1200).latitude,
                                      GeoMath::destination(fiji, 90, 1200).longitude + 360);
    const QPointF home = world.point(fiji);
    EXPECT_NEAR(label.x(), home.x() + 0.9 * (reach.x() - home.x()), 1e-9);
    EXPECT_GT(label.x(), 720);
    EXPECT_GT(strongest(image, label - QPointF(720, 0), alpha), 150);

    // Without a status or a heading nothing at all is drawn.
    RotatorStatus lost;
    lost.connected = true;
    lost.target = 90;
    for (const QHash<QUuid, RotatorStatus>& status :
         { QHash<QUuid, RotatorStatus> {}, QHash<QUuid, RotatorStatus> { { beam.id, lost } } }) {
        const QImage empty = draw({ world, fiji, { beam }, status, Qt::black });
        EXPECT_EQ(empty, [&] {
            QImage clear(empty.size(), empty.format());
            clear.fill(Qt::transparent);
            return clear;
        }());
    }
}

TEST(RotatorLayer, ABeamOverThePoleShadesTheCapBeyondItAndNoStripRoundTheWorld)
{
    const GeoCoordinate vilnius { 54.687, 25.28 };
    RotatorConfig north = rotator("North", "#00FF00", 50);
    const QImage image = draw({ world, vilnius, { north }, { { north.id, at(0) } }, Qt::black });
    auto shade = [&](double lat, double lon) { return qAlpha(image.pixel(world.point(lat, lon).toPoint())); };

    // Within 5000 km and 25° of north, past the pole: the near band.
    EXPECT_NEAR(shade(86, -120), 0.22 * 255, 3);
    EXPECT_NEAR(shade(84, -130), 0.22 * 255, 3);
    EXPECT_NEAR(shade(82, 170), 0.22 * 255, 3);
    // Farther out, Alaska 7000 km away: the middle band.
    EXPECT_NEAR(shade(70, -100), 0.13 * 255, 3);
    EXPECT_NEAR(shade(60, -150), 0.13 * 255, 3);
    // Outside the beam at the station's latitude: untouched.
    EXPECT_EQ(shade(54, 100), 0);
    EXPECT_EQ(shade(56, -60), 0);

    // The south pole likewise, from the far south.
    const GeoCoordinate scott { -60, 160 };
    const QImage south = draw({ world, scott, { north }, { { north.id, at(180) } }, Qt::black });
    auto southShade = [&](double lat, double lon) { return qAlpha(south.pixel(world.point(lat, lon).toPoint())); };
    EXPECT_NEAR(southShade(-86, 60), 0.22 * 255, 3);
    EXPECT_NEAR(southShade(-84, -60), 0.22 * 255, 3);
    EXPECT_EQ(southShade(-62, 60), 0);
    EXPECT_EQ(southShade(-62, -100), 0);
}

TEST(RotatorLayer, LaterRotatorsPaintOverEarlierOnesAndKeepTheirLabelRow)
{
    const GeoCoordinate vilnius { 54.687, 25.28 };
    RotatorConfig first = rotator("Mast A", "#FF000080", 20);
    RotatorConfig second = rotator("Mast B", "#00FF00", 40);
    second.showLongPath = true;

    // The first has no heading yet: only the second is drawn, and its label
    // is still one row down.
    RotatorStatus waiting;
    RotatorLayer layer {
        world, vilnius, { first, second }, { { first.id, waiting }, { second.id, at(45) } }, Qt::black
    };
    const QImage image = draw(layer);
    EXPECT_EQ(layer.labelCentre(45, 1) - layer.labelCentre(45, 0), QPointF(0, 16));
    auto red = [](QRgb p) { return qAlpha(p) > 0 && qGreen(p) < 60 ? qRed(p) : 0; };
    EXPECT_EQ(strongest(image, along(vilnius, 45, 2000), red), 0);
    EXPECT_GT(strongest(image, along(vilnius, 45, 2000), green), 200);
    // The long path, dotted: somewhere along it in the line's colour.
    EXPECT_GT(strongestAlong(image, vilnius, 225, 300, 3000, green), 100);

    // Both at 45°: the second's opaque heading line covers the first's.
    layer.status[first.id] = at(45);
    const QImage both = draw(layer);
    EXPECT_GT(strongest(both, along(vilnius, 45, 2000), green), 200);
    // The first's edge line shows through the second's light shade.
    EXPECT_GT(strongestAlong(both, vilnius, 35, 1000, 3000, red), 40);
}

TEST(RotatorLayer, LabelsShowTheHeadingAsTheFormatRoundsIt)
{
    EXPECT_EQ(RotatorLayer::labelText("Yagi", 359.6), QString::fromUtf8("Yagi 360°"));
    EXPECT_EQ(RotatorLayer::labelText("Yagi", 7.4), QString::fromUtf8("Yagi 007°"));
}
