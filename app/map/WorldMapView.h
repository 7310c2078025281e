#pragma once

#include "cluster/SpotGroup.h"
#include "geo/MapData.h"
#include "kit/AppStores.h"
#include "kit/MapStyle.h"
#include "map/BaseMapLayer.h"
#include "map/DXSpotLayer.h"
#include "map/GreylineLayer.h"
#include "map/MapFit.h"
#include "map/MapFrame.h"
#include "map/MapOptions.h"
#include "map/MapProjection.h"
#include "map/ZoneLayer.h"
#include "prediction/PropagationPredictor.h"

#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class AuroraLegend;
class ClusterBadge;
class CoverageLegend;
class HoverPanel;
class MapCoverage;
class MapInput;
class MUFLegend;
class QPainter;
class SpaceWeatherLayers;
class ZoomBadge;

// The world map of the main window. It keeps the map's settings as one
// MapOptions value, read again when one of its keys changes; every paint
// builds one projection for the current size and viewport and hands it to
// each layer, bottom to top:
//
//   1  base map (ocean, land, borders, graticule)
//   2  aurora forecast
//   3  the slow layers, drawn for the timeline's date:
//        a greyline, b coverage, c MUF shading with borders over it and
//        contours, d ITU zones, e CQ zones, f prefixes, g ionosondes,
//        h home and Sun markers
//   4  rotator beams
//   5  DX spots
//   6… badges and legends
//   then the hover panel (a child widget in the top-leading corner): what
//      the user called up by pointing is never covered
//
// The slow layers follow the clock in steps of 30 s: their date is set when
// anything the map shows changes (a setting, a store, the size, the
// viewport) and then every 30 s after that. The pointer moving over the map
// changes only the hover panel, never the layers' pictures.
//
// Layers 1 to 4 are composed into one picture, the frame (MapFrame), drawn
// anew only when something they show changes; any other repaint copies it
// and lays the spots over it. During a drag or zoom the frame follows the
// viewport by moving or scaling its pixels, and is drawn crisp once the
// gesture has rested for settleMs.
//
// The view keeps the shared viewport model in step with its own size and
// fit mode; pointer input goes through MapInput.
class WorldMapView : public QWidget {
    Q_OBJECT
public:
    static constexpr int slowLayerIntervalMs = 30000;
    // How long a gesture rests before the frame is drawn crisp again.
    static constexpr int settleMs = 150;

    explicit WorldMapView(const AppStores& stores, QWidget* parent = nullptr);
    ~WorldMapView() override;

    // The prefix labels of the map data, read once per process.
    static const QList<PrefixEntity>& prefixes();

    // The background of every label layer: white on light styles, black on
    // the others, both at opacity 0.9.
    static QColor halo(MapStyle style);

    // The stored fit mode (default fill) and map style (default dark).
    static MapFit fit();
    static MapStyle style();

    // The station for predictions, from the station settings: power,
    // antennas, mode ("cw", "ft8", anything else SSB) and noise (unknown
    // texts mean residential).
    static StationSetup stationSetup();

    // Whether predictions come from the P.533 engine: "predictionEngine" is
    // not "quick" and the engine is installed. Otherwise the quick model.
    bool useITU() const;

    // The one projection for the current size and viewport.
    MapProjection projection() const;
    // The settings the map shows, as last read.
    const MapOptions& options() const { return m_options; }
    // The "now" of the slow layers.
    QDateTime slowLayerDate() const { return m_slowDate; }
    // The clock of the slow layers, the spots' blink and the hover panel:
    // the system's UTC clock unless a test or benchmark fixes it.
    using Clock = std::function<QDateTime()>;
    void setClock(Clock clock);
    MapInput* input() const { return m_input; }
    // The panel for the place under the pointer, above the badges and
    // legends.
    HoverPanel* hoverPanel() const { return m_hoverPanel; }

    // The label near a view point, spotted labels first (the hover panel's
    // and the context menu's rule).
    std::optional<PrefixEntity> labelUnderPointer(QPointF point, const MapProjection& projection) const;

    // What the map shows of the cluster, from its settings.
    SpotDisplayOptions displayOptions() const;
    static SpotDisplayOptions displayOptions(const MapOptions& options);
    // The spotted labels as last taken from the cluster: none while the
    // cluster is off. The spot layer blinks while there are any.
    const QList<SpotGroup>& spotGroups() const { return m_spotGroups; }
    bool spotBlinkRunning() const { return m_spotTimer.isActive(); }

    // Draws every layer into a painter the size of the view.
    void render(QPainter& painter);

    // The composed picture of layers 1 to 4. Each view has its own, so
    // windows of different sizes never evict each other's.
    const MapFrame& frame() const { return m_frame; }
    // True from a gesture's step until it has rested for settleMs.
    bool inGesture() const { return m_settleTimer.isActive(); }
    // Lets the gesture rest at once: the next paint draws the crisp frame.
    void settle();
    // What is pinned to the view rather than the world (the graticule's
    // labels), in view points: a pan draws it afresh.
    QList<QRectF> pinnedAreas(const MapProjection& projection);

    // The badges and legends above the layers, each a child widget pinned to
    // a side or corner of the map. Added in stack order (the order of this
    // list), so later ones sit above earlier ones, all under the hover panel.
    enum class Overlay {
        coverageLegend, // bottom centre, lifted above the cluster badge while the cluster is on
        clusterBadge,   // bottom centre
        mufLegend,      // bottom trailing
        zoomBadge,      // top trailing
        legendColumn,   // bottom leading
    };
    // Where an overlay of a size goes on a map of a size: inset by 10
    // points (the coverage legend only from the bottom, by 44 points while
    // the cluster badge is there, else 10) and aligned as listed above.
    static QRect overlayRect(Overlay overlay, QSize overlaySize, QSize mapSize, bool clusterEnabled);
    // Where an overlay that wants a place goes clear of those already
    // placed (`taken`), within an area: at that place when it meets none;
    // else moved sideways as little as the room beside the others on its
    // rows allows; else risen above the highest it meets. 8 points apart
    // from those it moves for.
    static QRect clearOf(const QRect& wanted, const QList<QRect>& taken, const QRect& area);
    // Takes the widget as a child and keeps it at its place at its size
    // hint; the widget shows and hides itself.
    void addOverlay(Overlay overlay, QWidget* widget);
    // The bottom-leading column of legends (rotators, then aurora): a
    // child widget whose layout stacks them leading-aligned, 8 points apart.
    QWidget* legendColumn() const { return m_legendColumn; }

Q_SIGNALS:
    // True in the fit mode that shows the whole world at 2:1.
    void keepProportionsChanged(bool keep);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void onSettingChanged(const QString& key);
    // Something the map shows changed: restart the slow layers' timeline
    // and redraw.
    void rebuild();
    // The viewport changed: the slow layers' timeline starts again.
    void rebuildTimeline();
    // What layers 1 to 4 show changed: the frame must be drawn anew.
    void invalidateFrame();
    // A step of a drag or zoom: the frame may follow it until it rests.
    void gestureStep();
    // Brings the frame up to date for a pixel ratio; a frame drawn anew is
    // handed on to the delivery's painter as it is drawn, where it can be.
    void composeFrame(double ratio, MapFrame::Delivery* delivery = nullptr);
    // Layers 1 to 4 for the bands of the frame.
    MapFrame::Layers layerStack(const MapProjection& projection, double ratio);
    void paintSpots(QPainter& painter);
    void placeOverlays();
    // Takes the spotted labels from the cluster for the map's settings.
    void takeSpots();
    // The cluster's spots changed.
    void refreshSpots();
    // Wakes the map when the spot layer next looks different; sleeps
    // while there are no spots.
    void scheduleSpotBlink();
    DXSpotLayer spotLayer(const MapProjection& projection) const;
    // Shows, hides and fills the badges and legends of the space weather
    // layers, the zoom and the cluster.
    void updateOverlays();
    // Shows the hover panel for the label under the pointer, else the
    // rested cell; hides it while the pointer is off the map.
    void refreshHover();

    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTimeUtc(); }

    AppStores m_stores;
    Clock m_clock;
    MapOptions m_options;
    MapFrame m_frame;
    quint64 m_generation = 1;
    QTimer m_settleTimer;
    GreylineCache m_greyline;
    // The areas pinned to the view, for the size and grid font they were
    // measured for.
    struct Pinned {
        QSizeF size;
        QFont font;
        QList<QRectF> areas;
    };
    std::optional<Pinned> m_pinned;
    QDateTime m_slowDate;
    bool m_use24Hour = true;
    bool m_shown = false;
    QTimer m_slowTimer;
    QList<SpotGroup> m_spotGroups;
    QTimer m_spotTimer;

    SpaceWeatherLayers* m_spaceWeather = nullptr;
    MapCoverage* m_coverage = nullptr;
    MapInput* m_input = nullptr;
    HoverPanel* m_hoverPanel = nullptr;
    QList<QPair<Overlay, QWidget*>> m_overlays;
    CoverageLegend* m_coverageLegend = nullptr;
    ClusterBadge* m_clusterBadge = nullptr;
    MUFLegend* m_mufLegend = nullptr;
    ZoomBadge* m_zoomBadge = nullptr;
    QWidget* m_legendColumn = nullptr;
    AuroraLegend* m_auroraLegend = nullptr;
};
