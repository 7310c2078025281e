#include "map/MapProjection.h"
#include "map/MapViewportModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

MapViewport vp(double zoom, double x, double y) { return { zoom, QPointF(x, y) }; }

void expectNear(QPointF actual, QPointF expected, double eps = 1e-9)
{
    EXPECT_NEAR(actual.x(), expected.x(), eps);
    EXPECT_NEAR(actual.y(), expected.y(), eps);
}

bool exactlyEqual(const MapViewport& a, const MapViewport& b)
{
    return a.zoom == b.zoom && a.center.x() == b.center.x() && a.center.y() == b.center.y();
}

} // namespace

TEST(MapViewport, ClampsZoomAndCentre)
{
    EXPECT_EQ(vp(0.5, 0.5, 0.5).clamped().zoom, 1.0);
    EXPECT_EQ(vp(20, 0.5, 0.5).clamped().zoom, 12.0);

    // Without view sizes the half extent is 0.5 / zoom on both axes.
    const MapViewport z4 = vp(4, 0.0, 1.0).clamped();
    expectNear(z4.center, QPointF(0.125, 0.875));

    // Fill rule on a 1000 × 400 view: base 1000 × 500; east-west is locked,
    // north-south may move within [0.4, 0.6].
    const QSizeF view(1000, 400);
    const QSizeF base = MapProjection::baseSize(view, true);
    EXPECT_EQ(base, QSizeF(1000, 500));
    expectNear(vp(1, 0.1, 0.0).clamped(view, base).center, QPointF(0.5, 0.4));
    expectNear(vp(1, 0.9, 1.0).clamped(view, base).center, QPointF(0.5, 0.6));
    expectNear(vp(1, 0.5, 0.55).clamped(view, base).center, QPointF(0.5, 0.55));

    // Without fill the base is the view itself: no panning at zoom 1.
    EXPECT_EQ(MapProjection::baseSize(view, false), view);
    expectNear(vp(1, 0.2, 0.8).clamped(view, view).center, QPointF(0.5, 0.5));

    // A base with a zero side falls back to 0.5 / zoom.
    expectNear(vp(2, 0.0, 0.0).clamped(view, QSizeF(0, 500)).center, QPointF(0.25, 0.25));

    // Non-finite values never leak into a projection.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const MapViewport broken = vp(nan, nan, std::numeric_limits<double>::infinity()).clamped(view, base);
    EXPECT_EQ(broken.zoom, 1.0);
    expectNear(broken.center, QPointF(0.5, 0.5));
}

TEST(MapProjection, ProjectsAndInvertsWithinTheWorldRectangle)
{
    const MapProjection p = MapProjection::forView(QSizeF(720, 360), MapViewport::world(), false);
    expectNear(p.point(GeoCoordinate { 90, -180 }), QPointF(0, 0));
    expectNear(p.point(GeoCoordinate { 0, 0 }), QPointF(360, 180));
    expectNear(p.point(GeoCoordinate { -90, 180 }), QPointF(720, 360));
    // No wrapping: a longitude past 180 lands right of the world.
    EXPECT_GT(p.point(GeoCoordinate { 0, 200 }).x(), 720);

    // Inverse, edges inclusive.
    const auto right = p.coordinate(QPointF(720, 180));
    ASSERT_TRUE(right);
    EXPECT_DOUBLE_EQ(right->longitude, 180);
    EXPECT_DOUBLE_EQ(right->latitude, 0);
    EXPECT_FALSE(p.coordinate(QPointF(721, 180)));
    EXPECT_FALSE(p.coordinate(QPointF(360, -1)));
    const auto corner = p.coordinate(QPointF(0, 360));
    ASSERT_TRUE(corner);
    EXPECT_DOUBLE_EQ(corner->latitude, -90);

    // Round trip when zoomed and panned in the fill mode.
    const MapProjection z = MapProjection::forView(QSizeF(1000, 400), vp(3, 0.3, 0.4), true);
    const GeoCoordinate c { 51.5, -0.12 };
    const auto back = z.coordinate(z.point(c));
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->latitude, c.latitude, 1e-9);
    EXPECT_NEAR(back->longitude, c.longitude, 1e-9);

    // The world transform places degree space where point() does.
    const QPointF viaTransform = z.worldTransform().map(QPointF(c.longitude + 180, 90 - c.latitude));
    expectNear(viaTransform, z.point(c));

    // An empty world rectangle has no coordinates.
    EXPECT_FALSE(MapProjection::forView(QSizeF(0, 0), MapViewport::world(), false).coordinate(QPointF(0, 0)));
}

TEST(MapProjection, SplitsLinesAtTheAntimeridian)
{
    const MapProjection p = MapProjection::forView(QSizeF(720, 360), MapViewport::world(), false);
    auto line = [](std::initializer_list<double> lons) {
        std::vector<GeoCoordinate> out;
        for (double lon : lons)
            out.push_back({ 10, lon });
        return out;
    };

    EXPECT_TRUE(p.screenSegments(std::vector<GeoCoordinate> {}).isEmpty());

    const auto two = p.screenSegments(line({ 170, 179, -179, -170 }));
    ASSERT_EQ(two.size(), 2);
    ASSERT_EQ(two[0].size(), 2);
    ASSERT_EQ(two[1].size(), 2);
    expectNear(two[0][0], p.point(GeoCoordinate { 10, 170 }));
    expectNear(two[0][1], p.point(GeoCoordinate { 10, 179 }));
    expectNear(two[1][0], p.point(GeoCoordinate { 10, -179 }));
    expectNear(two[1][1], p.point(GeoCoordinate { 10, -170 }));

    // Every piece has one point: nothing survives.
    EXPECT_TRUE(p.screenSegments(line({ 170, -179, 170 })).isEmpty());
    // A single point is no line; a jump of exactly 180° is not a crossing.
    EXPECT_TRUE(p.screenSegments(line({ 20 })).isEmpty());
    EXPECT_EQ(p.screenSegments(line({ -90, 90 })).size(), 1);
}

TEST(MapViewportModel, ZoomsAboutAnAnchor)
{
    MapViewportModel model;
    int notified = 0;
    QObject::connect(&model, &MapViewportModel::viewportChanged, [&] { ++notified; });

    // Before the first layout only the zoom changes and the centre is kept
    // inside [0.5 / zoom, 1 − 0.5 / zoom].
    model.setViewport(vp(2, 0.3, 0.7));
    model.zoom(2);
    EXPECT_EQ(model.viewport().zoom, 4);
    expectNear(model.viewport().center, QPointF(0.3, 0.7));
    model.setViewport(vp(4, 0.05, 0.95));
    model.zoom(0.5);
    EXPECT_EQ(model.viewport().zoom, 2);
    expectNear(model.viewport().center, QPointF(0.25, 0.75));

    model.setViewSize(QSizeF(1000, 500));
    model.setFill(true);
    model.showWholeWorld();

    // About the view centre the centre stays where it is.
    model.zoom(2);
    EXPECT_TRUE(exactlyEqual(model.viewport(), vp(2, 0.5, 0.5)));

    // About a point: the coordinate under it stays put.
    const QPointF anchor(700, 180);
    const MapProjection before = MapProjection::forView(model.viewSize(), model.viewport(), model.fill());
    const auto under = before.coordinate(anchor);
    ASSERT_TRUE(under);
    model.zoom(1.5, anchor);
    const MapProjection after = MapProjection::forView(model.viewSize(), model.viewport(), model.fill());
    expectNear(after.point(*under), anchor, 1e-6);
    EXPECT_EQ(model.viewport().zoom, 3);

    // Limits: zoom in at 12 stays 12, zoom out at 1 stays 1 and recentres.
    for (int i = 0; i < 10; ++i)
        model.zoom(1.5);
    EXPECT_EQ(model.viewport().zoom, 12);
    for (int i = 0; i < 10; ++i)
        model.zoom(2.0 / 3.0);
    EXPECT_EQ(model.viewport().zoom, 1);
    expectNear(model.viewport().center, QPointF(0.5, 0.5), 1e-12);

    // Near the edge clamping wins over the anchor.
    model.zoom(2, QPointF(0, 0));
    expectNear(model.viewport().center, QPointF(0.25, 0.25));

    // One zoom in and one zoom out cancel.
    model.showWholeWorld();
    model.zoom(1.5);
    model.zoom(2.0 / 3.0);
    EXPECT_NEAR(model.viewport().zoom, 1.0, 1e-12);

    // Broken factors do nothing and notify nobody.
    const int count = notified;
    const MapViewport kept = model.viewport();
    model.zoom(std::numeric_limits<double>::quiet_NaN());
    model.zoom(0);
    model.zoom(-2);
    EXPECT_EQ(notified, count);
    EXPECT_TRUE(exactlyEqual(model.viewport(), kept));
}

TEST(MapViewportModel, GesturesWorkFromTheirStartWithoutDrift)
{
    MapViewportModel model;
    model.setViewSize(QSizeF(1440, 900));
    model.setFill(true);
    model.setViewport(vp(4, 0.5, 0.5));

    // A drag delivers its total translation many times over; the result is
    // exactly that of one step.
    const MapViewport start = model.viewport();
    for (int i = 1; i <= 1000; ++i)
        model.pan(QSizeF(0.37 * i, -0.21 * i), start);
    const MapViewport dragged = model.viewport();
    model.pan(QSizeF(0.37 * 1000, -0.21 * 1000), start);
    EXPECT_TRUE(exactlyEqual(model.viewport(), dragged));
    // Dragging right moves the content right: the centre moves west (and a
    // drag up moves it south).
    EXPECT_LT(dragged.center.x(), 0.5);
    EXPECT_GT(dragged.center.y(), 0.5);

    // A drag back to where it began restores the start exactly.
    model.pan(QSizeF(0, 0), start);
    EXPECT_TRUE(exactlyEqual(model.viewport(), start));

    // A pinch delivers its total magnification from the start viewport.
    const QPointF anchor(300, 650);
    const MapProjection p0 = MapProjection::forView(model.viewSize(), start, true);
    const auto under = p0.coordinate(anchor);
    ASSERT_TRUE(under);
    for (int i = 1; i <= 1000; ++i)
        model.zoom(1.0 + 0.001 * i, anchor, start);
    const MapViewport pinched = model.viewport();
    model.zoom(1.0 + 0.001 * 1000, anchor, start);
    EXPECT_TRUE(exactlyEqual(model.viewport(), pinched));
    EXPECT_EQ(pinched.zoom, 8);
    expectNear(MapProjection::forView(model.viewSize(), pinched, true).point(*under), anchor, 1e-6);

    // Panning past the edge of the world stops there; the zoom is limited too.
    model.pan(QSizeF(1e6, 1e6), vp(30, 0.5, 0.5));
    EXPECT_EQ(model.viewport().zoom, 12);
    const QSizeF base = MapProjection::baseSize(model.viewSize(), true);
    expectNear(model.viewport().center, QPointF(1440 / (2 * 12 * base.width()), 900 / (2 * 12 * base.height())));

    // Without a view size a pan does nothing.
    MapViewportModel idle;
    idle.pan(QSizeF(100, 100), vp(2, 0.5, 0.5));
    EXPECT_TRUE(exactlyEqual(idle.viewport(), MapViewport::world()));
}
