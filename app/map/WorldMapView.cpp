#include "map/WorldMapView.h"

#include "cluster/DXClusterClient.h"
#include "kit/Color.h"
#include "kit/LabelFonts.h"
#include "map/AuroraLegend.h"
#include "map/ClusterBadge.h"
#include "map/CoverageLegend.h"
#include "map/DXSpotLayer.h"
#include "map/GreylineLayer.h"
#include "map/HoverPanel.h"
#include "map/MUFLegend.h"
#include "map/MapCoverage.h"
#include "map/MapInput.h"
#include "map/MapViewportModel.h"
#include "map/PainterPixelRatio.h"
#include "map/RotatorLegend.h"
#include "map/SpaceWeatherLayers.h"
#include "map/ZoomBadge.h"
#include "prediction/PredictionStore.h"
#include "rotator/RotatorManager.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <vector>

WorldMapView::WorldMapView(const AppStores& stores, QWidget* parent)
    : QWidget(parent)
    , m_stores(stores)
    , m_options(MapOptions::read(Settings::standard()))
    , m_slowDate(QDateTime::currentDateTimeUtc())
    , m_use24Hour(Settings::standard().get(SettingKeys::use24Hour))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    // What builds pictures away from the paint: the aurora and MUF layers,
    // and the coverage layer.
    m_spaceWeather = new SpaceWeatherLayers(m_stores.spaceWeather, this);
    m_coverage = new MapCoverage(m_stores.spaceWeather, m_stores.predictions, this);

    // Pointer input changes the shared viewport and the hover state.
    if (m_stores.viewport) {
        m_input = new MapInput(*m_stores.viewport, m_stores.rotors, prefixes(), this);
        m_input->attach(this);
        m_input->setLabelFinder(
            [this](QPointF point, const MapProjection& projection) { return labelUnderPointer(point, projection); });
    }

    // 6 and above: the child widgets, the badges and legends each above the
    // ones before it, the hover panel above them all.
    m_hoverPanel = new HoverPanel(this);
    m_coverageLegend = new CoverageLegend;
    addOverlay(Overlay::coverageLegend, m_coverageLegend);
    m_clusterBadge = new ClusterBadge;
    addOverlay(Overlay::clusterBadge, m_clusterBadge);
    m_mufLegend = new MUFLegend;
    addOverlay(Overlay::mufLegend, m_mufLegend);
    m_zoomBadge = new ZoomBadge([this] {
        if (m_stores.viewport)
            m_stores.viewport->setViewport(MapViewport::world());
    });
    addOverlay(Overlay::zoomBadge, m_zoomBadge);
    // The bottom-leading column: the rotators' legend, then the aurora's.
    m_legendColumn = new QWidget;
    auto* column = new QVBoxLayout(m_legendColumn);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    if (m_stores.rotors)
        column->addWidget(new RotatorLegend(m_stores.rotors, m_legendColumn));
    m_auroraLegend = new AuroraLegend;
    column->addWidget(m_auroraLegend);
    addOverlay(Overlay::legendColumn, m_legendColumn);

    // The slow layers follow the clock in steps; the hover panel's Sun,
    // spot ages and wheel hour with them.
    m_slowTimer.setInterval(slowLayerIntervalMs);
    connect(&m_slowTimer, &QTimer::timeout, this, [this] {
        m_slowDate = now();
        refreshHover();
        invalidateFrame();
    });
    // A gesture that has rested: the frame is drawn crisp again, for the
    // clock's date.
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(settleMs);
    connect(&m_settleTimer, &QTimer::timeout, this, &WorldMapView::rebuild);
    // The spots blink on their own beat, and a beat changes only the plates.
    m_spotTimer.setSingleShot(true);
    m_spotTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_spotTimer, &QTimer::timeout, this, [this] {
        update(spotLayer(projection()).blinkArea());
        scheduleSpotBlink();
    });

    // What the map shows changed: its settings, the viewport or a store.
    connect(&Settings::standard(), &Settings::changed, this, &WorldMapView::onSettingChanged);
    if (m_stores.viewport)
        // A new viewport only moves the world: the frame follows it.
        connect(m_stores.viewport, &MapViewportModel::viewportChanged, this, &WorldMapView::rebuildTimeline);
    if (m_stores.spaceWeather)
        connect(m_stores.spaceWeather, &SpaceWeatherStore::snapshotChanged, this, &WorldMapView::rebuild);
    if (m_stores.predictions) {
        // A finished chart or coverage map: the views ask again.
        connect(m_stores.predictions, &PredictionStore::chartsChanged, this, &WorldMapView::rebuild);
        connect(m_stores.predictions, &PredictionStore::coverageChanged, this, &WorldMapView::rebuild);
        connect(m_stores.predictions, &PredictionStore::busyChanged, this, &WorldMapView::rebuild);
        connect(m_stores.predictions, &PredictionStore::lastErrorChanged, this, &WorldMapView::refreshHover);
    }
    if (m_stores.cluster) {
        for (auto changed :
             { &DXClusterClient::bookChanged, &DXClusterClient::countriesChanged, &DXClusterClient::logbookChanged })
            connect(m_stores.cluster, changed, this, &WorldMapView::refreshSpots);
        connect(m_stores.cluster, &DXClusterClient::statusChanged, this, &WorldMapView::updateOverlays);
    }
    // The rotators' beams follow each published heading.
    if (m_stores.rotors) {
        connect(m_stores.rotors, &RotatorManager::rotatorsChanged, this, &WorldMapView::invalidateFrame);
        connect(m_stores.rotors, &RotatorManager::statusChanged, this, &WorldMapView::invalidateFrame);
    }
    // Finished pictures and the pointer's moves.
    connect(m_spaceWeather, &SpaceWeatherLayers::picturesChanged, this, &WorldMapView::invalidateFrame);
    connect(m_coverage, &MapCoverage::picturesChanged, this, &WorldMapView::invalidateFrame);
    if (m_input) {
        connect(m_input, &MapInput::hoverChanged, this, &WorldMapView::refreshHover);
        connect(m_input, &MapInput::gestureStepped, this, &WorldMapView::gestureStep);
    }

    takeSpots();
    updateOverlays();
}

WorldMapView::~WorldMapView() = default;

void WorldMapView::setClock(Clock clock)
{
    m_clock = std::move(clock);
    takeSpots();
    rebuild();
}

const QList<PrefixEntity>& WorldMapView::prefixes()
{
    static const QList<PrefixEntity> labels = MapData::prefixes();
    return labels;
}

QColor WorldMapView::halo(MapStyle style)
{
    return MapStyles::isLight(style) ? QColor::fromRgbF(1, 1, 1, 0.9f) : QColor::fromRgbF(0, 0, 0, 0.9f);
}

MapFit WorldMapView::fit() { return MapOptions::fit(Settings::standard()); }

MapStyle WorldMapView::style() { return MapOptions::style(Settings::standard()); }

StationSetup WorldMapView::stationSetup() { return MapOptions::stationSetup(Settings::standard()); }

bool WorldMapView::useITU() const
{
    return m_stores.predictions && m_stores.predictions->useITU(m_options.predictionEngine);
}

MapProjection WorldMapView::projection() const
{
    const MapViewport viewport = m_stores.viewport ? m_stores.viewport->viewport() : MapViewport::world();
    return MapProjection::forView(QSizeF(size()), viewport, m_options.mapFit == MapFit::fill);
}

void WorldMapView::paintSpots(QPainter& painter)
{
    // 5: the spotted countries, blinking on their own beat, over the frame.
    if (m_options.clusterEnabled && !m_spotGroups.isEmpty())
        spotLayer(projection()).paint(painter, this->now());
    // 6 and above are child widgets: the badges and legends in the order of
    // Overlay, then the hover panel.
}

DXSpotLayer WorldMapView::spotLayer(const MapProjection& projection) const
{
    const MapOptions& o = m_options;
    return DXSpotLayer { projection,
                         m_spotGroups,
                         labelFont(o.prefixFont, o.prefixSize, true),
                         Color::fromHex(o.spotColor),
                         Color::fromHex(o.neededColor),
                         Color::fromHex(o.watchColor),
                         halo(o.mapStyle) };
}

std::optional<PrefixEntity> WorldMapView::labelUnderPointer(QPointF point, const MapProjection& projection) const
{
    return HoverPanel::labelUnderPointer(point, projection, m_spotGroups, prefixes(), m_options.showPrefixes,
                                         m_options.prefixSize);
}

void WorldMapView::refreshHover()
{
    std::optional<PrefixEntity> entity;
    if (m_input && m_input->hoverPoint()) {
        entity = labelUnderPointer(*m_input->hoverPoint(), projection());
        if (!entity)
            entity = m_input->restedCell();
    }
    m_hoverPanel->showFor(entity,
                          HoverPanel::Inputs { m_options, m_spaceWeather->snapshot(), m_spotGroups,
                                               now(), m_use24Hour,
                                               useITU() ? m_stores.predictions : nullptr });
}

SpotDisplayOptions WorldMapView::displayOptions() const { return displayOptions(m_options); }

SpotDisplayOptions WorldMapView::displayOptions(const MapOptions& o)
{
    return SpotDisplayOptions::fromTexts(o.clusterMode, o.clusterBands, o.clusterShow, o.needScope, o.confirmedOnly,
                                         o.watchCalls);
}

void WorldMapView::takeSpots()
{
    m_spotGroups.clear();
    if (m_stores.cluster && m_options.clusterEnabled)
        m_spotGroups = m_stores.cluster->activeSpots(displayOptions()).values();
    scheduleSpotBlink();
}

void WorldMapView::refreshSpots()
{
    takeSpots();
    updateOverlays();
    refreshHover();
    update();
}

void WorldMapView::scheduleSpotBlink()
{
    if (m_spotGroups.isEmpty()) {
        m_spotTimer.stop();
        return;
    }
    const bool anyHighlighted = std::ranges::any_of(m_spotGroups, &DXSpotLayer::highlighted);
    const QDateTime now = this->now();
    // A millisecond past the change, so the paint falls in the new beat.
    const qint64 wait = now.msecsTo(DXSpotLayer::nextChange(now, anyHighlighted)) + 1;
    m_spotTimer.start(int(std::max<qint64>(1, wait)));
}

QRect WorldMapView::overlayRect(Overlay overlay, QSize overlaySize, QSize mapSize, bool clusterEnabled)
{
    constexpr int inset = 10;
    const QRect area(QPoint(0, 0), mapSize);
    QRect inner = area.adjusted(inset, inset, -inset, -inset);
    if (overlay == Overlay::coverageLegend)
        inner = area.adjusted(0, 0, 0, -(clusterEnabled ? 44 : inset));
    const QSize size = overlaySize.boundedTo(inner.size()).expandedTo(QSize(0, 0));
    const int centreX = inner.left() + (inner.width() - size.width()) / 2;
    const int right = inner.right() + 1 - size.width();
    const int bottom = inner.bottom() + 1 - size.height();
    switch (overlay) {
    case Overlay::coverageLegend:
    case Overlay::clusterBadge:
        return QRect(QPoint(centreX, bottom), size);
    case Overlay::mufLegend:
        return QRect(QPoint(right, bottom), size);
    case Overlay::zoomBadge:
        return QRect(QPoint(right, inner.top()), size);
    case Overlay::legendColumn:
        break;
    }
    return QRect(QPoint(inner.left(), bottom), size);
}

void WorldMapView::addOverlay(Overlay overlay, QWidget* widget)
{
    widget->setParent(this);
    widget->installEventFilter(this);
    m_overlays.append({ overlay, widget });
    // What the user called up by pointing is never covered: the hover
    // panel stays on top.
    widget->stackUnder(m_hoverPanel);
    placeOverlays();
}

QRect WorldMapView::clearOf(const QRect& wanted, const QList<QRect>& taken, const QRect& area)
{
    constexpr int apart = 8;
    const auto meets
        = [&](const QRect& at) { return std::ranges::any_of(taken, [&](const QRect& t) { return t.intersects(at); }); };
    QRect at = wanted;
    while (meets(at)) {
        int left = area.left();
        int right = area.right();
        for (const QRect& t : taken)
            if (t.top() <= at.bottom() && t.bottom() >= at.top()) {
                if (t.center().x() < wanted.center().x())
                    left = std::max(left, t.right() + 1 + apart);
                else
                    right = std::min(right, t.left() - 1 - apart);
            }
        if (right + 1 - left >= at.width()) {
            QRect beside = at;
            beside.moveLeft(std::clamp(at.left(), left, right + 1 - at.width()));
            if (!meets(beside))
                return beside;
        }
        int top = at.top();
        for (const QRect& t : taken)
            if (t.intersects(at))
                top = std::min(top, t.top());
        // No room above either: it stays where it first met one.
        if (top - apart - at.height() < area.top())
            return wanted;
        at.moveBottom(top - apart - 1);
    }
    return at;
}

void WorldMapView::placeOverlays()
{
    // The corners first; the bottom centre's badge, then its legend, make
    // way for what is placed before them.
    const bool cluster = m_options.clusterEnabled;
    const QRect area = rect().adjusted(10, 10, -10, -10);
    QList<QRect> taken;
    for (const Overlay kind : { Overlay::legendColumn, Overlay::mufLegend, Overlay::zoomBadge, Overlay::clusterBadge,
                                Overlay::coverageLegend })
        for (const auto& [overlay, widget] : m_overlays) {
            if (overlay != kind)
                continue;
            QRect at
                = overlayRect(overlay,
                              widget->sizeHint().expandedTo(widget->minimumSize()).boundedTo(widget->maximumSize()),
                              size(), cluster);
            if (overlay == Overlay::clusterBadge || overlay == Overlay::coverageLegend)
                at = clearOf(at, taken, area);
            widget->setGeometry(at);
            if (widget->isVisibleTo(this))
                taken.append(at);
        }
}

bool WorldMapView::eventFilter(QObject* watched, QEvent* event)
{
    // An overlay whose content changed asks for a new size.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show || event->type() == QEvent::Hide)
        for (const auto& entry : std::as_const(m_overlays))
            if (entry.second == watched) {
                placeOverlays();
                break;
            }
    return QWidget::eventFilter(watched, event);
}

void WorldMapView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    MapFrame::Delivery delivery { &painter, event->region() };
    composeFrame(devicePixelRatioOf(painter), &delivery);
    if (!delivery.delivered)
        for (const QRect& area : event->region())
            m_frame.paint(painter, area);
    paintSpots(painter);
}

void WorldMapView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_stores.viewport)
        m_stores.viewport->setViewSize(QSizeF(size()));
    placeOverlays();
    rebuild();
}

void WorldMapView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    if (m_stores.viewport) {
        m_stores.viewport->setViewSize(QSizeF(size()));
        m_stores.viewport->setFill(m_options.mapFit == MapFit::fill);
    }
    rebuild();
}

void WorldMapView::onSettingChanged(const QString& key)
{
    if (isKey(key, SettingKeys::use24Hour)) {
        m_use24Hour = Settings::standard().get(SettingKeys::use24Hour);
        refreshHover();
    }
    if (!MapOptions::isMapKey(key))
        return;
    const MapOptions before = m_options;
    m_options = MapOptions::read(Settings::standard());
    if (isKey(key, SettingKeys::mapFit)) {
        Q_EMIT keepProportionsChanged(m_options.mapFit == MapFit::whole);
        if (m_stores.viewport) {
            // A new fit mode always shows the whole world again.
            m_stores.viewport->setFill(m_options.mapFit == MapFit::fill);
            m_stores.viewport->setViewport(MapViewport::world());
        }
    }
    if (m_options.clusterEnabled != before.clusterEnabled)
        placeOverlays(); // the coverage legend moves above the cluster badge
    if (m_options.clusterEnabled != before.clusterEnabled || displayOptions() != displayOptions(before))
        takeSpots();
    rebuild();
}

void WorldMapView::invalidateFrame()
{
    ++m_generation;
    update();
}

void WorldMapView::gestureStep() { m_settleTimer.start(); }

void WorldMapView::settle()
{
    if (!m_settleTimer.isActive())
        return;
    m_settleTimer.stop();
    rebuild();
}

void WorldMapView::rebuild()
{
    invalidateFrame();
    rebuildTimeline();
}

void WorldMapView::rebuildTimeline()
{
    // While a gesture moves the frame, the slow layers keep their date;
    // the crisp frame at its end takes the clock's.
    if (!inGesture()) {
        m_slowDate = now();
        m_slowTimer.start();
    }
    updateOverlays();
    refreshHover();
    update();
}

void WorldMapView::updateOverlays()
{
    const MapOptions& o = m_options;
    const SpaceWeatherSnapshot& snapshot = m_spaceWeather->snapshot();

    if (o.clusterEnabled && m_stores.cluster)
        m_clusterBadge->set(m_stores.cluster->status(), ClusterBadge::count(m_spotGroups), Color::fromHex(o.spotColor),
                            Color::fromHex(o.neededColor));
    m_clusterBadge->setVisible(o.clusterEnabled && m_stores.cluster);

    const std::optional<Band> coverageBand = MapCoverage::band(o);
    if (coverageBand) {
        const bool engine = useITU();
        const std::optional<QString> failure = engine
            ? m_stores.predictions->coverageFailure(o.home, *coverageBand, o.station, snapshot.sunspotNumber, m_slowDate)
            : std::nullopt;
        m_coverageLegend->set(*coverageBand, o.station.mode, CoverageLegend::engineName(engine),
                              engine && m_stores.predictions->busy(), failure);
    }
    m_coverageLegend->setVisible(coverageBand.has_value());

    const bool mufLegend = o.showMUF && !snapshot.ionosondes.isEmpty();
    if (mufLegend)
        m_mufLegend->setColours(MUFPalette::fromHex(o.mufColors));
    m_mufLegend->setVisible(mufLegend);

    const double zoom = m_stores.viewport ? m_stores.viewport->viewport().zoom : 1;
    m_zoomBadge->setZoom(zoom);
    m_zoomBadge->setVisible(zoom > 1.001);

    const bool aurora = o.showAurora && snapshot.aurora;
    if (aurora)
        m_auroraLegend->setObservationTime(snapshot.aurora->observationTime);
    m_auroraLegend->setVisible(aurora);
}
