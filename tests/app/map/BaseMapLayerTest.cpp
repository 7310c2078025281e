#include "map/BaseMapLayer.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <latch>
#include <thread>

namespace {

struct Country {
    int c = 0;
    QList<QList<QList<double>>> p;
};

// A ring around a box, counter-clockwise in longitude/latitude.
QList<double> box(double west, double south, double east, double north)
{
    return { west, south, east, south, east, north, west, north };
}

// Outlines on a 360 × 180 view at zoom 1 without fill, so one degree is
// one view point: a country with a hole, a country holding a lake made of
// two overlapping rings, and countries in colour groups 0 and 8.
BaseMapPaths fixture()
{
    const QList<Country> countries {
        { 3, { { box(-100, 10, -20, 70), box(-80, 30, -40, 50) } } },
        { 5, { { box(0, 0, 80, 60) } } },
        { 0, { { box(100, -60, 120, -40) } } },
        { 8, { { box(140, -60, 160, -40) } } },
    };
    const QList<QList<QList<double>>> lakes { { box(20, 20, 50, 50) }, { box(35, 10, 60, 40) } };
    return BaseMapPaths::build(countries, lakes);
}

MapProjection flat(double width = 360, double height = 180)
{
    return MapProjection::forView(QSizeF(width, height), MapViewport::world(), false);
}

BaseMapLayer layer(MapStyle style, bool grid = false)
{
    return { flat(),
             style,
             grid,
             { MapStyles::border(style), 0.6 },
             { gridLabelFont("System", 9), QColor(255, 255, 255, 140) } };
}

QImage render(const BaseMapLayer& l, const BaseMapPaths& paths, double ratio = 1.0)
{
    QImage out(QSize(int(l.projection.size.width() * ratio), int(l.projection.size.height() * ratio)),
               QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(ratio);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    l.draw(painter, paths);
    return out;
}

// The pixel at a coordinate of the 1:1 fixture projection.
QColor at(const QImage& image, double lat, double lon) { return image.pixelColor(int(lon + 180), int(90 - lat)); }

bool near(QColor a, QColor b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

// How much brighter one picture is than another along a vertical cut, in
// units of full intensity: the width of a white line drawn over a darker
// picture.
double lineWidthAcross(const QImage& with, const QImage& without, int column, int fromRow, int toRow)
{
    double sum = 0;
    for (int row = fromRow; row < toRow; ++row)
        sum += with.pixelColor(column, row).redF() - without.pixelColor(column, row).redF();
    return sum;
}

// The share of pixels where two pictures of the same size differ by more
// than rounding (banded and threaded drawing may blend a unit apart).
double differingShare(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    if (x.size() != y.size())
        return 1.0;
    long differing = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            if (std::abs(qRed(p) - qRed(q)) > 8 || std::abs(qGreen(p) - qGreen(q)) > 8
                || std::abs(qBlue(p) - qBlue(q)) > 8 || std::abs(qAlpha(p) - qAlpha(q)) > 8)
                ++differing;
        }
    return double(differing) / (double(x.width()) * x.height());
}

} // namespace

TEST(BaseMapPaths, BuildsClosedRingsInDegreeSpace)
{
    // Five numbers are fewer than three points: skipped. Seven numbers make
    // three points; the odd one left is ignored.
    const QList<QList<QList<double>>> polygons { { { 1, 2, 3, 4, 5 }, { -180, 90, 0, 0, 180, -90, 99 } } };
    const QPainterPath path = BaseMapPaths::makePath(polygons);
    EXPECT_EQ(path.boundingRect(), QRectF(0, 0, 360, 180));
    ASSERT_GE(path.elementCount(), 3);
    EXPECT_TRUE(path.elementAt(0).isMoveTo());
    EXPECT_EQ(QPointF(path.elementAt(0)), QPointF(0, 0));
    EXPECT_EQ(QPointF(path.elementAt(1)), QPointF(180, 90));
    EXPECT_EQ(QPointF(path.elementAt(2)), QPointF(360, 180));
    // The ring is closed back to its start.
    EXPECT_EQ(QPointF(path.elementAt(path.elementCount() - 1)), QPointF(0, 0));

    EXPECT_TRUE(BaseMapPaths::makePath(QList<QList<QList<double>>> { { { 1, 2, 3, 4, 5 } } }).isEmpty());

    const BaseMapPaths paths = fixture();
    EXPECT_EQ(paths.land.fillRule(), Qt::OddEvenFill);
    EXPECT_EQ(paths.lakes.fillRule(), Qt::WindingFill);
    // One piece per polygon (the first country's hole stays with its
    // outline) and per lake, each with its colour group and bounds.
    ASSERT_EQ(paths.countryPieces.size(), 4u);
    EXPECT_EQ(paths.countryPieces[0].group, 3);
    EXPECT_EQ(paths.countryPieces[0].bounds, QRectF(80, 20, 80, 60));
    EXPECT_EQ(paths.countryPieces[0].path.fillRule(), Qt::OddEvenFill);
    EXPECT_EQ(paths.countryPieces[3].group, 8);
    ASSERT_EQ(paths.lakePieces.size(), 2u);
    EXPECT_EQ(paths.lakePieces[0].path.fillRule(), Qt::WindingFill);
}

TEST(BaseMapPaths, SimplifiesForCoarseViews)
{
    // A square with many points along its edges, and a speck of an island.
    QList<double> square;
    for (int i = 0; i < 10; ++i)
        square << -10 + 2 * i << 0;
    for (int i = 0; i < 10; ++i)
        square << 10 << 2 * i + 0.001 * (i % 2);
    for (int i = 0; i < 10; ++i)
        square << 10 - 2 * i << 20;
    for (int i = 0; i < 10; ++i)
        square << -10 << 20 - 2 * i;
    const QList<QList<QList<double>>> polygons { { square }, { { 50, 50, 50.001, 50, 50.001, 50.001, 50, 50.001 } } };

    const QPainterPath full = BaseMapPaths::makePath(polygons);
    const QPainterPath coarse = BaseMapPaths::makePath(polygons, 0.05);
    EXPECT_GT(full.elementCount(), 40);
    // The corners survive, the points along straight edges go, and so
    // does the island smaller than the tolerance.
    EXPECT_LE(coarse.elementCount(), 6);
    EXPECT_EQ(coarse.boundingRect(), QRectF(170, 70, 20, 20));
    EXPECT_EQ(full.boundingRect().right(), 230.001);
}

TEST(BaseMapLayer, FillsLandEvenOddAndLakesNonZero)
{
    const BaseMapPaths paths = fixture();
    const QImage image = render(layer(MapStyle::classic), paths);
    const QColor land = MapStyles::land(MapStyle::classic);
    const QColor lake = MapStyles::oceanTop(MapStyle::classic);

    EXPECT_TRUE(near(at(image, 60, -90), land));
    // The hole of the first country shows the ocean.
    const QColor hole = at(image, 40, -60);
    EXPECT_FALSE(near(hole, land, 20));
    EXPECT_EQ(hole.alpha(), 255);
    // Where the two lake rings overlap, the non-zero rule still fills.
    EXPECT_TRUE(near(at(image, 30, 42), lake));
    EXPECT_TRUE(near(at(image, 45, 25), lake));
    EXPECT_TRUE(near(at(image, 15, 55), lake));
    // Land around the lake.
    EXPECT_TRUE(near(at(image, 55, 10), land));
    // The ocean's gradient runs from top to bottom of the view.
    EXPECT_TRUE(near(image.pixelColor(180, 0), MapStyles::oceanTop(MapStyle::classic), 4));
    EXPECT_TRUE(near(image.pixelColor(180, 179), MapStyles::oceanBottom(MapStyle::classic), 4));
}

TEST(BaseMapLayer, PoliticalAndOutlineStyles)
{
    const BaseMapPaths paths = fixture();
    const QImage political = render(layer(MapStyle::political), paths);
    const auto& palette = MapStyles::politicalPalette();
    EXPECT_TRUE(near(at(political, 60, -90), palette[2]));
    EXPECT_TRUE(near(at(political, 55, 10), palette[4]));
    // Groups 0 and 8 stay ocean-coloured but keep their borders.
    const QColor ocean = at(political, -50, 130); // open sea at the same latitude
    EXPECT_TRUE(near(at(political, -50, 110), ocean));
    EXPECT_TRUE(near(at(political, -50, 150), ocean));
    EXPECT_FALSE(near(at(political, -50, 100), ocean, 2)); // the border on the western edge

    const QImage outline = render(layer(MapStyle::outline), paths);
    const QColor sea = at(outline, 40, 170);
    // Neither land nor lakes are filled...
    EXPECT_TRUE(near(at(outline, 60, -90), sea, 4));
    EXPECT_TRUE(near(at(outline, 30, 42), sea, 4));
    // ...but borders and lake shores are drawn.
    EXPECT_FALSE(near(at(outline, 60, -100), sea, 10));
    EXPECT_FALSE(near(at(outline, 30, 20), sea, 10));
}

TEST(BaseMapLayer, BorderWidthsStayInViewPoints)
{
    // White borders of 4 points on a black ocean, measured across the
    // northern edge of the second country (land) and of the first lake.
    const BaseMapPaths paths = fixture();
    BaseMapLayer l = layer(MapStyle::contrast);
    l.borders = { Qt::white, 4 };

    BaseMapLayer none = l;
    none.borders = { Qt::transparent, 4 };

    for (double ratio : { 1.0, 2.0 }) {
        const QImage image = render(l, paths, ratio);
        const QImage bare = render(none, paths, ratio);
        const int col = int((10 + 180) * ratio); // longitude 10, land edge at latitude 60
        const double landLine = lineWidthAcross(image, bare, col, int(25 * ratio), int(35 * ratio));
        EXPECT_NEAR(landLine, 4 * ratio, 0.25 * ratio) << "ratio " << ratio;
        const int lakeCol = int((25 + 180) * ratio); // longitude 25, lake edge at latitude 50
        const double lakeLine = lineWidthAcross(image, bare, lakeCol, int(36 * ratio), int(44 * ratio));
        EXPECT_NEAR(lakeLine, 0.7 * 4 * ratio, 0.25 * ratio) << "ratio " << ratio;
    }

    // Zooming in moves the outlines but does not thicken them.
    l.projection = none.projection = MapProjection::forView(QSizeF(360, 180), { 4, QPointF(0.53, 0.2) }, false);
    const QPointF edge = l.projection.point(GeoCoordinate { 60, 10 });
    const int row = int(std::round(edge.y()));
    EXPECT_NEAR(lineWidthAcross(render(l, paths), render(none, paths), int(edge.x()), row - 6, row + 6), 4, 0.25);
}

TEST(BaseMapLayer, GraticuleOnlyOnRequest)
{
    const BaseMapPaths empty;
    const QImage plain = render(layer(MapStyle::dark, false), empty);
    const QImage grid = render(layer(MapStyle::dark, true), empty);

    // Without the grid the picture is the gradient alone: one colour per row.
    for (int y : { 10, 90, 170 })
        for (int x = 0; x < 360; ++x)
            ASSERT_EQ(plain.pixel(x, y), plain.pixel(0, y)) << x << "," << y;

    auto differs = [&](int x, int y) { return plain.pixel(x, y) != grid.pixel(x, y); };
    EXPECT_TRUE(differs(15, 100));   // meridian 165° W
    EXPECT_TRUE(differs(180, 100));  // prime meridian
    EXPECT_TRUE(differs(100, 90));   // equator
    EXPECT_TRUE(differs(98, 66));    // tropic of Cancer (y 66.56), inside a dash
    EXPECT_FALSE(differs(102, 66));  // and in the gap after it
    EXPECT_FALSE(differs(100, 100)); // between lines
    // Labels: longitude along the bottom edge right of its meridian,
    // latitude along the left edge just above its parallel.
    bool bottomLabel = false;
    for (int x = 33; x < 50; ++x)
        for (int y = 165; y < 177; ++y)
            bottomLabel = bottomLabel || differs(x, y);
    EXPECT_TRUE(bottomLabel);
    bool leftLabel = false;
    for (int x = 3; x < 20; ++x)
        for (int y = 48; y < 58; ++y)
            leftLabel = leftLabel || differs(x, y);
    EXPECT_TRUE(leftLabel);
}

TEST(BaseMapLayer, LightStylesDashTheMinorGraticule)
{
    const BaseMapPaths empty;
    const QImage plain = render(layer(MapStyle::atlas, false), empty);
    const QImage grid = render(layer(MapStyle::atlas, true), empty);
    // Along the parallel of 45° N (a minor line at y 45) the dashes come
    // and go every 3 points; on a dark style the line is solid.
    int drawn = 0;
    for (int x = 60; x < 160; ++x)
        drawn += plain.pixel(x, 45) != grid.pixel(x, 45) ? 1 : 0;
    EXPECT_GT(drawn, 30);
    EXPECT_LT(drawn, 70);

    const QImage darkPlain = render(layer(MapStyle::dark, false), empty);
    const QImage darkGrid = render(layer(MapStyle::dark, true), empty);
    int solid = 0;
    for (int x = 60; x < 160; ++x)
        solid += darkPlain.pixel(x, 45) != darkGrid.pixel(x, 45) ? 1 : 0;
    EXPECT_EQ(solid, 100);
}

TEST(BaseMapLayer, RepaintsFromItsPictureUntilSomethingChanges)
{
    // paint() draws the shared outlines; whatever they hold, an unchanged
    // layer must give the same picture, and a change must show.
    // The shared outlines come from the map data: a couple of hundred
    // countries, with coarser copies that still hold them all.
    ASSERT_GT(BaseMapLayer::paths().countryPieces.size(), 200u);
    EXPECT_FALSE(BaseMapLayer::paths().lakes.isEmpty());
    const BaseMapPaths& coarse = BaseMapLayer::paths(flat(), 1);
    EXPECT_LT(coarse.land.elementCount(), BaseMapLayer::paths().land.elementCount() / 2);
    EXPECT_GT(coarse.countryPieces.size(), 100u);

    BaseMapLayer l = layer(MapStyle::dark, true);
    BaseMapLayer::Picture picture;
    auto paintOnce = [&](const BaseMapLayer& layer, double ratio) {
        QImage out(QSize(int(360 * ratio), int(180 * ratio)), QImage::Format_ARGB32_Premultiplied);
        out.setDevicePixelRatio(ratio);
        out.fill(Qt::transparent);
        QPainter painter(&out);
        layer.paint(painter, picture);
        return out;
    };
    const QImage first = paintOnce(l, 1);
    EXPECT_EQ(paintOnce(l, 1), first);
    EXPECT_EQ(picture.renders(), 1);
    EXPECT_LT(differingShare(first, render(l, BaseMapLayer::paths(l.projection, 1))), 0.0005);

    l.style = MapStyle::atlas;
    const QImage atlas = paintOnce(l, 1);
    EXPECT_EQ(picture.renders(), 2);
    EXPECT_GT(differingShare(atlas, first), 0.5);
    EXPECT_TRUE(near(atlas.pixelColor(200, 1), MapStyles::oceanTop(MapStyle::atlas), 4));

    // At a pixel ratio of 2 the picture has twice the pixels, drawn at that
    // resolution rather than scaled up: the thin grid lines stay one device
    // pixel wide instead of spreading over two.
    const QImage sharp = paintOnce(l, 2);
    EXPECT_EQ(sharp.size(), QSize(720, 360));
    EXPECT_LT(differingShare(sharp, render(l, BaseMapLayer::paths(l.projection, 2), 2)), 0.0005);
    QImage upscaled = first.scaled(720, 360, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_GT(differingShare(upscaled, sharp), 0.01);
}

TEST(BaseMapLayer, DrawsFromTheSameOutlinesOnManyThreadsAtOnce)
{
    // Outlines never drawn before, drawn by eight threads that start
    // together, as the bands of a picture are: every picture comes out as
    // one drawn alone.
    const BaseMapLayer l = layer(MapStyle::political, true);
    const QImage alone = render(l, fixture());
    constexpr int threads = 8;
    for (int round = 0; round < 25; ++round) {
        const BaseMapPaths shared = fixture();
        std::vector<QImage> pictures(threads);
        std::latch start(threads);
        std::vector<std::thread> drawing;
        for (int i = 0; i < threads; ++i)
            drawing.emplace_back([&, i] {
                start.arrive_and_wait();
                pictures[std::size_t(i)] = render(l, shared);
            });
        for (std::thread& t : drawing)
            t.join();
        for (const QImage& picture : pictures)
            ASSERT_EQ(picture, alone) << "round " << round;
    }
}
