#include "map/MapInput.h"

#include "geo/Maidenhead.h"
#include "kit/DarkAppearance.h"
#include "map/MapViewportModel.h"
#include "map/ScrollWheelZoom.h"
#include "rotator/RotatorManager.h"
#include "support/Hypotenuse.h"
#include "support/NumberText.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>
#include <QWidget>

#include <cmath>

namespace {

// Bearings to the nearest whole degree with at least three digits, as a
// compass reads ("005°", "360°").
QString bearingText(double bearing) { return NumberText::printf("%03.0f", bearing) + QChar(0x00B0); }

} // namespace

MapMenu MapMenu::build(std::optional<QPointF> hoverPoint, const MapProjection& projection,
                       const std::optional<PrefixEntity>& label, const GeoCoordinate& home,
                       const QList<RotatorConfig>& rotators)
{
    if (!hoverPoint || rotators.isEmpty())
        return {};
    GeoCoordinate target;
    QString place;
    if (label) {
        target = label->coordinate();
        place = label->prefix;
    } else {
        const std::optional<GeoCoordinate> at = projection.coordinate(*hoverPoint);
        if (!at)
            return {};
        target = *at;
        place = Maidenhead::locator(target, 6);
    }

    const double b = GeoMath::bearing(home, target);
    double longPath = std::fmod(b + 180, 360);
    if (longPath < 0)
        longPath += 360;

    MapMenu menu;
    for (const RotatorConfig& rotator : rotators) {
        menu.sections.append(Section {
            rotator.name,
            { Turn {
                QStringLiteral("Turn %1 to %2 (short path, %3)").arg(rotator.name, place, bearingText(b)), rotator.id,
                               b },
                Turn { QStringLiteral("Turn %1 to %2 (long path, %3)").arg(rotator.name, place, bearingText(longPath)),
                                      rotator.id, b + 180 } } });
    }
    return menu;
}

void MapMenu::populate(QMenu& menu, RotatorManager& rotors) const
{
    if (isEmpty())
        return;
    for (const Section& section : sections) {
        menu.addSection(section.title);
        for (const Turn& turn : section.turns) {
            QAction* action = menu.addAction(turn.text);
            QObject::connect(action, &QAction::triggered, &rotors,
                             [&rotors, id = turn.rotator, bearing = turn.bearing] { rotors.turn(id, bearing); });
        }
    }
    menu.addSeparator();
    QAction* stop = menu.addAction(QStringLiteral("Stop all rotators"));
    QObject::connect(stop, &QAction::triggered, &rotors, [&rotors] { rotors.stopAll(); });
}

MapInput::MapInput(MapViewportModel& viewport, RotatorManager* rotors, const QList<PrefixEntity>& prefixes,
                   QObject* parent)
    : QObject(parent)
    , m_viewport(viewport)
    , m_rotors(rotors)
    , m_prefixes(prefixes)
{
    m_restTimer.setSingleShot(true);
    m_restTimer.setTimerType(Qt::PreciseTimer);
    m_restTimer.setInterval(restMilliseconds);
    connect(&m_restTimer, &QTimer::timeout, this, &MapInput::restElapsed);
}

void MapInput::attach(QWidget* view)
{
    m_view = view;
    view->setMouseTracking(true);
    view->installEventFilter(this);
}

MapProjection MapInput::projection() const
{
    const QSizeF size = m_view ? QSizeF(m_view->size()) : m_viewport.viewSize();
    return MapProjection::forView(size, m_viewport.viewport(), m_viewport.fill());
}

void MapInput::followView()
{
    // Every main window shares the one model, and its view size is that of
    // the window laid out last: a gesture here must zoom and pan for this
    // view, or the map slides away from under the pointer.
    if (m_view)
        m_viewport.setViewSize(QSizeF(m_view->size()));
}

MapViewport MapInput::gestureStartOrNow()
{
    if (!m_gestureStart)
        m_gestureStart = m_viewport.viewport();
    return *m_gestureStart;
}

void MapInput::dragChanged(QSizeF translation)
{
    const MapViewport start = gestureStartOrNow();
    Q_EMIT gestureStepped();
    m_viewport.pan(translation, start);
}

void MapInput::magnifyChanged(double magnification, QPointF startLocation)
{
    const MapViewport start = gestureStartOrNow();
    Q_EMIT gestureStepped();
    m_viewport.zoom(magnification, startLocation, start);
}

void MapInput::gestureEnded() { m_gestureStart.reset(); }

void MapInput::doubleClicked(QPointF point) { m_viewport.zoom(2.0, point); }

void MapInput::wheelZoomed(double factor, QPointF point)
{
    Q_EMIT gestureStepped();
    m_viewport.zoom(factor, point);
}

void MapInput::hoverMoved(QPointF location)
{
    m_hoverPoint = location;
    m_restLocation = location;
    m_restProjection = projection();
    m_restTimer.start();
    Q_EMIT hoverChanged();
}

void MapInput::hoverEnded()
{
    m_restTimer.stop();
    if (!m_hoverPoint && !m_restedCell)
        return;
    m_hoverPoint.reset();
    m_restedCell.reset();
    Q_EMIT hoverChanged();
}

void MapInput::restElapsed()
{
    const std::optional<GeoCoordinate> at = m_restProjection.coordinate(m_restLocation);
    if (at)
        m_restedCell = PrefixEntity::cell(*at, m_prefixes);
    else
        m_restedCell.reset();
    Q_EMIT hoverChanged();
}

MapMenu MapInput::menu(const QList<RotatorConfig>& rotators) const
{
    if (!m_hoverPoint || rotators.isEmpty())
        return {};
    const MapProjection now = projection();
    const std::optional<PrefixEntity> label
        = m_labelFinder ? m_labelFinder(*m_hoverPoint, now) : std::optional<PrefixEntity>();
    const Settings& settings = Settings::standard();
    const GeoCoordinate home { settings.get(SettingKeys::homeLatitude), settings.get(SettingKeys::homeLongitude) };
    return MapMenu::build(m_hoverPoint, now, label, home, rotators);
}

bool MapInput::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_view)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::NativeGesture:
        followView();
        break;
    default:
        break;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_pressPoint = mouse->position();
        m_dragging = false;
        return true;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        hoverMoved(mouse->position());
        if (m_pressPoint && (mouse->buttons() & Qt::LeftButton)) {
            const QPointF t = mouse->position() - *m_pressPoint;
            if (!m_dragging && hypotenuse(t.x(), t.y()) >= dragThreshold)
                m_dragging = true;
            if (m_dragging)
                dragChanged(QSizeF(t.x(), t.y()));
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        if (m_dragging)
            gestureEnded();
        m_pressPoint.reset();
        m_dragging = false;
        return true;
    }
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        doubleClicked(mouse->position());
        return true;
    }
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const QPointF p = wheel->position();
        if (!QRectF(m_view->rect()).contains(p))
            return false;
        const ScrollWheelZoom::Decision decision = ScrollWheelZoom::decide(*wheel);
        if (decision.factor)
            wheelZoomed(*decision.factor, p);
        if (decision.consumed)
            wheel->accept();
        return decision.consumed;
    }
    case QEvent::NativeGesture: {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        switch (gesture->gestureType()) {
        case Qt::BeginNativeGesture:
            m_pinchScale = 1;
            m_pinchStart = gesture->position();
            m_pinching = false;
            return true;
        case Qt::ZoomNativeGesture:
            if (!m_pinchStart)
                m_pinchStart = gesture->position();
            // Each event carries the change since the previous one.
            m_pinchScale *= 1 + gesture->value();
            if (!m_pinching && std::abs(m_pinchScale - 1) >= magnifyThreshold)
                m_pinching = true;
            if (m_pinching)
                magnifyChanged(m_pinchScale, *m_pinchStart);
            return true;
        case Qt::EndNativeGesture:
            if (m_pinching)
                gestureEnded();
            m_pinchScale = 1;
            m_pinchStart.reset();
            m_pinching = false;
            return true;
        default:
            return false;
        }
    }
    case QEvent::Leave:
        hoverEnded();
        return false;
    case QEvent::ContextMenu: {
        auto* request = static_cast<QContextMenuEvent*>(event);
        request->accept();
        if (!m_rotors)
            return true;
        const MapMenu entries = menu(m_rotors->rotators());
        if (entries.isEmpty())
            return true;
        QMenu popup(m_view);
        popup.setPalette(DarkAppearance::palette()); // like the toolbar's menus
        entries.populate(popup, *m_rotors);
        popup.exec(request->globalPos());
        return true;
    }
    default:
        return false;
    }
}
