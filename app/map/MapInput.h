#pragma once

#include "geo/GeoMath.h"
#include "geo/MapData.h"
#include "map/MapProjection.h"
#include "map/MapViewport.h"
#include "rotator/RotatorConfig.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QTimer>
#include <QUuid>

#include <functional>
#include <optional>

class MapViewportModel;
class QMenu;
class QWidget;
class RotatorManager;

// The map's context menu as data: one section per rotator with its short-
// and long-path entries, then "Stop all rotators". Empty when there is
// nothing to offer.
struct MapMenu {
    struct Turn {
        QString text;
        QUuid rotator;
        double bearing = 0; // sent as is; the manager reduces it

        friend bool operator==(const Turn&, const Turn&) = default;
    };
    struct Section {
        QString title;
        QList<Turn> turns;

        friend bool operator==(const Section&, const Section&) = default;
    };

    QList<Section> sections;

    bool isEmpty() const { return sections.isEmpty(); }

    // The entries for the pointer's last place. With a label under the
    // pointer the rotators turn to the label and the menu names its prefix;
    // elsewhere they turn to the place itself, named by its six-character
    // locator. No pointer, no rotator or a place off the world: empty.
    static MapMenu build(std::optional<QPointF> hoverPoint, const MapProjection& projection,
                         const std::optional<PrefixEntity>& label, const GeoCoordinate& home,
                         const QList<RotatorConfig>& rotators);

    // Fills a menu with the entries; the actions command the manager.
    void populate(QMenu& menu, RotatorManager& rotors) const;

    friend bool operator==(const MapMenu&, const MapMenu&) = default;
};

// All pointer input of the world map: drag to pan, pinch and double click
// to zoom, the scroll wheel, hovering with the resting pointer's cell, and
// the rotator context menu. It changes only the shared viewport, its own
// hover state and (through the menu) the rotators; the view redraws from
// those.
//
// The view attaches it once; it then watches the view's events.
class MapInput : public QObject {
    Q_OBJECT
public:
    static constexpr double dragThreshold = 3.0;     // points before a drag pans
    static constexpr double magnifyThreshold = 0.01; // scale change before a pinch zooms
    static constexpr int restMilliseconds = 300;     // pointer at rest before its cell is fixed

    // Finds the label near a view point (the hover panel's rule); none when
    // nothing is near.
    using LabelFinder = std::function<std::optional<PrefixEntity>(QPointF, const MapProjection&)>;

    MapInput(MapViewportModel& viewport, RotatorManager* rotors, const QList<PrefixEntity>& prefixes,
             QObject* parent = nullptr);

    // Starts watching a view's events (and tracking its pointer).
    void attach(QWidget* view);
    void setLabelFinder(LabelFinder finder) { m_labelFinder = std::move(finder); }

    // The projection the map draws with now: the model's viewport for this
    // view's size (the model's once no view is attached) and the model's fit.
    MapProjection projection() const;

    std::optional<QPointF> hoverPoint() const { return m_hoverPoint; }
    std::optional<PrefixEntity> restedCell() const { return m_restedCell; }
    std::optional<MapViewport> gestureStart() const { return m_gestureStart; }

    // The gestures, as the events below deliver them. A drag and a pinch may
    // overlap: both work from the one start viewport, the first to change
    // records it and the first to end forgets it.
    void dragChanged(QSizeF translation);
    void magnifyChanged(double magnification, QPointF startLocation);
    void gestureEnded();
    void doubleClicked(QPointF point);
    // A scroll-wheel step: zoom by the factor about the point.
    void wheelZoomed(double factor, QPointF point);
    void hoverMoved(QPointF location);
    void hoverEnded();

    // The menu for the pointer's last place, with the configured rotators.
    MapMenu menu(const QList<RotatorConfig>& rotators) const;

Q_SIGNALS:
    // The hover point or the rested cell changed.
    void hoverChanged();
    // A step of a drag, pinch or scroll-wheel zoom; more may follow at once.
    void gestureStepped();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MapViewport gestureStartOrNow();
    void restElapsed();
    void followView();

    MapViewportModel& m_viewport;
    RotatorManager* m_rotors = nullptr;
    const QList<PrefixEntity>& m_prefixes;
    LabelFinder m_labelFinder;
    QWidget* m_view = nullptr;

    std::optional<QPointF> m_hoverPoint;
    std::optional<PrefixEntity> m_restedCell;
    std::optional<MapViewport> m_gestureStart;

    // The pending rest: where the pointer stopped, and the projection the
    // map had then.
    QTimer m_restTimer;
    QPointF m_restLocation;
    MapProjection m_restProjection;

    // Drag in progress with the left button.
    std::optional<QPointF> m_pressPoint;
    bool m_dragging = false;

    // Pinch in progress: total scale since it began, where it began, and
    // whether it has passed the threshold.
    double m_pinchScale = 1;
    std::optional<QPointF> m_pinchStart;
    bool m_pinching = false;
};
