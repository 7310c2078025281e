#include "map/MapInput.h"
#include "geo/Maidenhead.h"
#include "map/MapViewportModel.h"
#include "map/ScrollWheelZoom.h"
#include "rotator/RotatorManager.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QWheelEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// A map-sized widget with the input attached, its model laid out for it.
struct Fixture {
    QList<PrefixEntity> prefixes { { "DL", "Germany", 51, 10, "EU" }, { "W", "United States", 40, -100, "NA" } };
    MapViewportModel model;
    RotatorManager rotors;
    QWidget view;
    MapInput input { model, &rotors, prefixes };

    Fixture()
    {
        view.resize(1000, 500);
        model.setViewSize(QSizeF(1000, 500));
        model.setFill(true);
        input.attach(&view);
    }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, at, view.mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }

    bool wheel(QPointF at, QPoint pixels, QPoint angle, Qt::ScrollPhase phase = Qt::NoScrollPhase)
    {
        QWheelEvent event(at, view.mapToGlobal(at), pixels, angle, Qt::NoButton, Qt::NoModifier, phase, false);
        QApplication::sendEvent(&view, &event);
        return event.isAccepted();
    }

    // The map coordinate under a view point.
    GeoCoordinate under(QPointF p) const { return *input.projection().coordinate(p); }
};

void expectSamePlace(const GeoCoordinate& a, const GeoCoordinate& b)
{
    EXPECT_NEAR(a.latitude, b.latitude, 1e-9);
    EXPECT_NEAR(a.longitude, b.longitude, 1e-9);
}

RotatorConfig rotator(const QString& name)
{
    RotatorConfig config;
    config.name = name;
    return config;
}

} // namespace

TEST(ScrollWheelZoom, TurnsVerticalStepsIntoFactors)
{
    using ScrollWheelZoom::decide;
    struct Case {
        double dy;
        bool inverted, precise, inGesture;
        bool consumed;
        std::optional<double> factor;
    };
    const Case cases[] = {
        { 1, false, false, false, true, std::exp(0.15) }, // one wheel notch
        { 10, false, true, true, true, std::exp(0.1) },   // trackpad points
        { 40, false, false, false, true, std::exp(3.0) }, // a very fast wheel is capped
        { -40, false, false, false, true, std::exp(-3.0) },
        { 1, true, false, false, true, std::exp(-0.15) }, // natural scrolling flipped back
        { -10, true, true, true, true, std::exp(0.1) },
        { 0, false, true, true, true, std::nullopt },    // horizontal trackpad scroll: swallowed
        { 0, false, false, false, false, std::nullopt }, // empty wheel event: passed on
        { std::numeric_limits<double>::quiet_NaN(), false, false, false, false, std::nullopt },
    };
    for (const Case& c : cases) {
        const ScrollWheelZoom::Decision d = decide(c.dy, c.inverted, c.precise, c.inGesture);
        EXPECT_EQ(d.consumed, c.consumed) << c.dy;
        ASSERT_EQ(d.factor.has_value(), c.factor.has_value()) << c.dy;
        if (c.factor) {
            EXPECT_NEAR(*d.factor, *c.factor, 1e-12) << c.dy;
        }
    }
    // Steps of opposite sign cancel.
    EXPECT_NEAR(*decide(3, false, false, false).factor * *decide(-3, false, false, false).factor, 1.0, 1e-12);
}

TEST(MapInput, WheelAndDoubleClickZoomAboutThePointer)
{
    Fixture f;
    const QPointF pointer(700, 150);
    const GeoCoordinate before = f.under(pointer);

    EXPECT_TRUE(f.wheel(pointer, {}, QPoint(0, 120)));
    EXPECT_NEAR(f.model.viewport().zoom, std::exp(0.15), 1e-12);
    expectSamePlace(f.under(pointer), before);

    EXPECT_TRUE(f.wheel(pointer, QPoint(0, 50), QPoint(0, 100), Qt::ScrollUpdate)); // pixel deltas win
    EXPECT_NEAR(f.model.viewport().zoom, std::exp(0.15 + 0.5), 1e-12);
    expectSamePlace(f.under(pointer), before);

    // A horizontal-only wheel step is left to the map's parents.
    const MapViewport now = f.model.viewport();
    EXPECT_FALSE(f.wheel(pointer, {}, QPoint(120, 0)));
    EXPECT_EQ(f.model.viewport(), now);

    f.mouse(QEvent::MouseButtonDblClick, pointer, Qt::LeftButton, Qt::LeftButton);
    EXPECT_NEAR(f.model.viewport().zoom, 2 * std::exp(0.65), 1e-12);
    expectSamePlace(f.under(pointer), before);

    for (int i = 0; i < 4; ++i)
        f.mouse(QEvent::MouseButtonDblClick, pointer, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(f.model.viewport().zoom, 12);
}

TEST(MapInput, ZoomsAboutThePointerWhenAnotherWindowWasLaidOutLast)
{
    Fixture f;
    f.model.setViewSize(QSizeF(600, 300)); // a second main window, smaller
    const QPointF pointer(700, 150);
    const GeoCoordinate before = f.under(pointer);
    EXPECT_TRUE(f.wheel(pointer, {}, QPoint(0, 120)));
    expectSamePlace(f.under(pointer), before);
    f.mouse(QEvent::MouseButtonDblClick, pointer, Qt::LeftButton, Qt::LeftButton);
    expectSamePlace(f.under(pointer), before);
}

TEST(MapInput, DragPansFromTheGestureStartWithoutDrift)
{
    Fixture f;
    f.model.setViewport({ 4, QPointF(0.5, 0.5) });
    const MapViewport start = f.model.viewport();
    const QPointF press(500, 250);

    // Under three points nothing moves and no gesture starts.
    f.mouse(QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
    f.mouse(QEvent::MouseMove, press + QPointF(2, 2), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(f.model.viewport(), start);
    EXPECT_FALSE(f.input.gestureStart());

    // Many small moves end exactly where one pan by the total would.
    for (int i = 1; i <= 300; ++i)
        f.mouse(QEvent::MouseMove, press + QPointF(0.37 * i, -0.21 * i), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(f.input.gestureStart(), start);
    MapViewportModel reference;
    reference.setViewSize(QSizeF(1000, 500));
    reference.setFill(true);
    reference.pan(QSizeF(0.37 * 300, -0.21 * 300), start);
    EXPECT_EQ(f.model.viewport(), reference.viewport());
    EXPECT_LT(f.model.viewport().center.x(), 0.5); // dragged right: the centre moved west

    f.mouse(QEvent::MouseButtonRelease, press + QPointF(111, -63), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(f.input.gestureStart());

    // A pinch during a drag works from the same start; the first end clears it.
    const MapViewport second = f.model.viewport();
    f.input.dragChanged(QSizeF(10, 0));
    f.input.magnifyChanged(2, QPointF(500, 250));
    EXPECT_EQ(f.input.gestureStart(), second);
    EXPECT_EQ(f.model.viewport().zoom, 8);
    f.input.gestureEnded();
    EXPECT_FALSE(f.input.gestureStart());
}

TEST(MapInput, PinchZoomsAboutWhereItBeganOncePastItsThreshold)
{
    Fixture f;
    const QPointF begin(300, 200);
    const GeoCoordinate under = f.under(begin);
    auto gesture = [&](Qt::NativeGestureType type, QPointF at, double value) {
        QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, at, at, f.view.mapToGlobal(at),
                                  value, QPointF());
        QApplication::sendEvent(&f.view, &event);
    };
    gesture(Qt::BeginNativeGesture, begin, 0);
    gesture(Qt::ZoomNativeGesture, begin, 0.005);
    EXPECT_EQ(f.model.viewport(), MapViewport::world()); // under a scale change of 0.01
    gesture(Qt::ZoomNativeGesture, QPointF(320, 210), 0.5);
    gesture(Qt::ZoomNativeGesture, QPointF(340, 220), 1.0);
    EXPECT_NEAR(f.model.viewport().zoom, 1.005 * 1.5 * 2.0, 1e-12);
    expectSamePlace(f.under(begin), under); // the first point stays put, not the fingers' later places
    EXPECT_TRUE(f.input.gestureStart());
    gesture(Qt::EndNativeGesture, QPointF(340, 220), 0);
    EXPECT_FALSE(f.input.gestureStart());
}

TEST(MapInput, RestingPointerFixesItsCellAndLeavingClearsIt)
{
    Fixture f;
    const QPointF overGermany = f.input.projection().point(51.3, 10.2);
    f.mouse(QEvent::MouseMove, overGermany, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(f.input.hoverPoint(), overGermany);
    EXPECT_FALSE(f.input.restedCell());

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return f.input.restedCell().has_value(); }));
    EXPECT_GE(clock.elapsed(), MapInput::restMilliseconds - 20);
    EXPECT_EQ(*f.input.restedCell(), PrefixEntity::cell({ 51.3, 10.2 }, f.prefixes));

    // Moving on keeps the old cell until the pointer rests again.
    f.mouse(QEvent::MouseMove, f.input.projection().point(40, -100), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(*f.input.restedCell(), PrefixEntity::cell({ 51.3, 10.2 }, f.prefixes));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&f.view, &leave);
    EXPECT_FALSE(f.input.hoverPoint());
    EXPECT_FALSE(f.input.restedCell());
    // The cancelled rest never writes a cell afterwards.
    clock.restart();
    while (clock.elapsed() < MapInput::restMilliseconds + 150)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(f.input.restedCell());
}

TEST(MapInput, ContextMenuOffersRotatorsForTheHoveredPlace)
{
    const MapProjection projection = MapProjection::forView(QSizeF(1000, 500), MapViewport::world(), true);
    const GeoCoordinate home { 54.687, 25.28 };
    const QList<RotatorConfig> rotators { rotator("Tower"), rotator("Mast") };
    const QPointF somewhere = projection.point(40.0, -100.0);

    // Nothing to offer without a pointer, without rotators, or off the world.
    EXPECT_TRUE(MapMenu::build(std::nullopt, projection, std::nullopt, home, rotators).isEmpty());
    EXPECT_TRUE(MapMenu::build(somewhere, projection, std::nullopt, home, {}).isEmpty());
    const MapProjection zoomedOut = MapProjection::forView(QSizeF(1000, 1000), MapViewport::world(), false);
    EXPECT_TRUE(MapMenu::build(QPointF(-5, -5), zoomedOut, std::nullopt, home, rotators).isEmpty());

    // Elsewhere: the place's locator, one section per rotator in order.
    const MapMenu plain = MapMenu::build(somewhere, projection, std::nullopt, home, rotators);
    ASSERT_EQ(plain.sections.size(), 2);
    EXPECT_EQ(plain.sections[0].title, "Tower");
    EXPECT_EQ(plain.sections[1].title, "Mast");
    const GeoCoordinate place = *projection.coordinate(somewhere);
    const double b = GeoMath::bearing(home, place);
    const QString locator = Maidenhead::locator(place, 6);
    EXPECT_EQ(locator.size(), 6);
    EXPECT_EQ(plain.sections[1].turns[0],
              (MapMenu::Turn { "Turn Mast to " + locator + QString::asprintf(" (short path, %03.0f°)", b),
                               rotators[1].id, b }));
    EXPECT_EQ(plain.sections[1].turns[1].bearing, b + 180);

    // On a label: its prefix, and the bearing to the label, not to the pointer.
    struct Case {
        double bearing;
        QString shortText, longText;
    };
    const Case cases[] = {
        { 5.2, "Turn Tower to XX (short path, 005°)", "Turn Tower to XX (long path, 185°)" },
        { 359.7, "Turn Tower to XX (short path, 360°)", "Turn Tower to XX (long path, 180°)" },
        { 180.4, "Turn Tower to XX (short path, 180°)", "Turn Tower to XX (long path, 000°)" },
    };
    for (const Case& c : cases) {
        const GeoCoordinate at = GeoMath::destination(home, c.bearing, 2000);
        const PrefixEntity label { "XX", "Test", at.latitude, at.longitude, "EU" };
        const MapMenu menu = MapMenu::build(somewhere, projection, label, home, { rotators[0] });
        ASSERT_EQ(menu.sections.size(), 1);
        const auto& turns = menu.sections[0].turns;
        ASSERT_EQ(turns.size(), 2);
        EXPECT_EQ(turns[0].text, c.shortText);
        EXPECT_EQ(turns[1].text, c.longText);
        EXPECT_NEAR(turns[0].bearing, c.bearing, 1e-6);
        EXPECT_NEAR(turns[1].bearing, c.bearing + 180, 1e-6); // unreduced: the manager reduces it
    }

    // As a menu: a section per rotator, its two entries, a divider and the stop.
    QMenu qmenu;
    RotatorManager rotors;
    plain.populate(qmenu, rotors);
    QStringList texts;
    for (QAction* action : qmenu.actions())
        texts << (action->isSeparator() ? (action->text().isEmpty() ? "---" : "[" + action->text() + "]")
                                        : action->text());
    ASSERT_EQ(texts.size(), 8);
    EXPECT_EQ(texts[0], "[Tower]");
    EXPECT_EQ(texts[3], "[Mast]");
    EXPECT_EQ(texts[6], "---");
    EXPECT_EQ(texts[7], "Stop all rotators");
    QMenu empty;
    MapMenu {}.populate(empty, rotors);
    EXPECT_TRUE(empty.actions().isEmpty());
}

TEST(MapInput, MenuUsesTheLastHoverAndTheLabelFinder)
{
    Fixture f;
    const QList<RotatorConfig> rotators { rotator("Tower") };
    EXPECT_TRUE(f.input.menu(rotators).isEmpty()); // the pointer never came over the map

    const QPointF p = f.input.projection().point(40.1, -100.2);
    f.input.hoverMoved(p);
    EXPECT_TRUE(f.input.menu(rotators).sections[0].turns[0].text.contains(Maidenhead::locator({ 40.1, -100.2 }, 6)));

    f.input.setLabelFinder([&](QPointF at, const MapProjection&) -> std::optional<PrefixEntity> {
        if (at == p)
            return f.prefixes[1];
        return std::nullopt;
    });
    EXPECT_TRUE(f.input.menu(rotators).sections[0].turns[0].text.startsWith("Turn Tower to W (short path"));
    f.input.hoverEnded();
    EXPECT_TRUE(f.input.menu(rotators).isEmpty());
}
