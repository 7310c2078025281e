#include "map/WorldMapView.h"

#include "geo/SolarCalculator.h"
#include "map/BaseMapLayer.h"
#include "map/GreylineLayer.h"
#include "map/MapInput.h"
#include "map/MapViewportModel.h"
#include "map/MarkersLayer.h"
#include "map/PrefixLayer.h"
#include "map/ZoneLayer.h"
#include "shell/Color.h"
#include "shell/LabelFonts.h"
#include "shell/SettingsDefault.h"
#include "support/Settings.h"

#include <QPaintEvent>
#include <QPainter>
#include <QSet>
#include <QVBoxLayout>

namespace {

Settings& settings() { return Settings::standard(); }

bool flag(const char* key, bool fallback) { return settings().boolValue(QLatin1String(key), fallback); }
double number(const char* key, double fallback) { return settings().doubleValue(QLatin1String(key), fallback); }
QString text(const char* key, const QString& fallback = {})
{
    return settings().stringValue(QLatin1String(key), fallback);
}

// A colour setting whose empty text means "the caller's own colour".
QColor colourOr(const char* key, const QColor& fallback)
{
    const QString stored = text(key);
    return stored.isEmpty() ? fallback : Color::fromHex(stored);
}

// The keys the map reads; a change of any of them redraws it.
const QSet<QString>& mapKeys()
{
    static const QSet<QString> keys {
        "showPrefixes",         "showAurora",        "showGreyline",   "showGrid",
        "showCQZones",          "showITUZones",      "auroraOpacity",  "nightIntensity2",
        "greylineGlow2",        "homeLatitude",      "homeLongitude",  "callsign",
        "prefixFontFamily",     "prefixFontSize",    "prefixFontBold", "prefixColor",
        "zoneFontFamily",       "zoneFontSize",      "zoneFontBold",   "cqZoneColor",
        "ituZoneColor",         "zoneLineOpacity",   "mapStyle",       "mapFit",
        "borderColor",          "borderWidth",       "bordersOverMUF", "mufColors",
        "gridFontFamily",       "gridFontSize",      "gridLabelColor", "showMUF",
        "mufOpacity",           "mufContours",       "mufBanded",      "coverageBand",
        "showPredictionWheel",  "predictionEngine",  "stationPowerW",  "stationBandAntennas",
        "predictionMode",       "noiseEnvironment",  "stationAntenna", "stationCustomGainDBi",
        "clusterEnabled",       "clusterModeFilter", "clusterBands",   "clusterSpotColor",
        "clusterNeededColor",   "clusterWatchColor", "clusterShow",    "clusterNeedScope",
        "clusterConfirmedOnly", "clusterWatchCalls",
    };
    return keys;
}

} // namespace

WorldMapView::WorldMapView(const AppStores& stores, QWidget* parent)
    : QWidget(parent)
    , m_stores(stores)
    , m_slowDate(QDateTime::currentDateTimeUtc())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    m_slowTimer.setInterval(slowLayerIntervalMs);
    connect(&m_slowTimer, &QTimer::timeout, this, [this] {
        m_slowDate = QDateTime::currentDateTimeUtc();
        update();
    });

    connect(&Settings::standard(), &Settings::changed, this, &WorldMapView::onSettingChanged);
    if (m_stores.viewport) {
        connect(m_stores.viewport, &MapViewportModel::viewportChanged, this, &WorldMapView::rebuild);
        m_input = new MapInput(*m_stores.viewport, m_stores.rotors, prefixes(), this);
        m_input->attach(this);
        connect(m_input, &MapInput::hoverChanged, this, &WorldMapView::rebuild);
    }
    // The stores' changes (snapshot, spots, rotators, predictions) come in
    // here as the layers that show them are added.

    m_legendColumn = new QWidget;
    auto* column = new QVBoxLayout(m_legendColumn);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    addOverlay(Overlay::legendColumn, m_legendColumn);
}

WorldMapView::~WorldMapView() = default;

const QList<PrefixEntity>& WorldMapView::prefixes()
{
    static const QList<PrefixEntity> labels = MapData::prefixes();
    return labels;
}

QColor WorldMapView::halo(MapStyle style)
{
    return MapStyles::isLight(style) ? QColor::fromRgbF(1, 1, 1, 0.9f) : QColor::fromRgbF(0, 0, 0, 0.9f);
}

MapFit WorldMapView::fit() { return MapFits::fromRaw(text("mapFit")).value_or(MapFit::fill); }

MapStyle WorldMapView::style() { return MapStyles::fromRaw(text("mapStyle")).value_or(MapStyle::dark); }

StationSetup WorldMapView::stationSetup()
{
    const QString mode = text("predictionMode", QStringLiteral("ssb"));
    const PredictionMode predictionMode = mode == QLatin1String("cw") ? PredictionMode::cw
        : mode == QLatin1String("ft8")                                ? PredictionMode::ft8
                                                                      : PredictionMode::ssb;
    const NoiseEnvironment noise = NoiseEnvironments::fromRaw(
        text("noiseEnvironment", QStringLiteral("residential"))).value_or(NoiseEnvironment::residential);
    return StationSetup(number("stationPowerW", 100.0), savedStationAntennas(text("stationBandAntennas")),
                        predictionMode, noise);
}

MapProjection WorldMapView::projection() const
{
    const MapViewport viewport = m_stores.viewport ? m_stores.viewport->viewport() : MapViewport::world();
    return MapProjection::forView(QSizeF(size()), viewport, fit() == MapFit::fill);
}

void WorldMapView::render(QPainter& painter)
{
    const MapStyle mapStyle = style();
    const bool light = MapStyles::isLight(mapStyle);
    const MapProjection proj = projection();

    // 1: the base map.
    const MapBorders borders { colourOr("borderColor", MapStyles::border(mapStyle)), number("borderWidth", 0.6) };
    const GridLabels gridLabels {
        gridLabelFont(text("gridFontFamily", QStringLiteral("System")), number("gridFontSize", 9.0)),
                      colourOr("gridLabelColor",
                               light ? QColor::fromRgbF(0, 0, 0, 0.55f) : QColor::fromRgbF(1, 1, 1, 0.55f)),
    };
    BaseMapLayer { proj, mapStyle, flag("showGrid", true), borders, gridLabels }.paint(painter);

    // 2: the aurora forecast goes here.

    // 3: the slow layers, for the timeline's date.
    const QDateTime now = m_slowDate;
    if (flag("showGreyline", true))
        GreylineLayer { proj, now, number("nightIntensity2", 0.45), number("greylineGlow2", 0.1),
                        light ? NightTint::light : NightTint::dark }
            .paint(painter);
    // 3b coverage and 3c the MUF shading with borders over it and contours
    // go here.
    const QColor haloColour = halo(mapStyle);
    const QFont zoneFont = labelFont(text("zoneFontFamily", QStringLiteral("System")), number("zoneFontSize", 16.0),
                                          flag("zoneFontBold", true));
    const double zoneLineOpacity = number("zoneLineOpacity", 0.6);
    if (flag("showITUZones", false))
        ZoneLayer { proj,
                    ZoneKind::itu,
                    Color::fromHex(text("ituZoneColor", QStringLiteral("#4FD1E8"))),
                                   zoneLineOpacity,
                                   zoneFont,
                                   haloColour }
                        .paint(painter);
    if (flag("showCQZones", false))
        ZoneLayer { proj,
                    ZoneKind::cq,
                    Color::fromHex(text("cqZoneColor", QStringLiteral("#FF9F43"))),
                                   zoneLineOpacity,
                                   zoneFont,
                                   haloColour }
                        .paint(painter);
    if (flag("showPrefixes", true))
        PrefixLayer {
            proj, prefixes(),
            labelFont(text("prefixFontFamily", QStringLiteral("System")), number("prefixFontSize", 10.0),
                           flag("prefixFontBold", true)),
                      Color::fromHex(text("prefixColor", QStringLiteral("#FFEDB3"))), haloColour }.paint(painter);
    // 3g the ionosonde dots go here.
    MarkersLayer { proj, GeoCoordinate { number("homeLatitude", 54.687), number("homeLongitude", 25.28) },
                   text("callsign"), SolarCalculator::position(now).subsolarPoint }
        .paint(painter);

    // 4 rotator beams, 5 DX spots, 6 the hover panel, and the badges and
    // legends (coverage legend, cluster badge, MUF legend, zoom badge, legend
    // column) go above, in this order.
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
    widget->raise();
    placeOverlays();
}

void WorldMapView::placeOverlays()
{
    const bool cluster = flag("clusterEnabled", false);
    for (const auto& [overlay, widget] : m_overlays)
        widget->setGeometry(
            overlayRect(overlay, widget->sizeHint().expandedTo(widget->minimumSize()).boundedTo(widget->maximumSize()),
                        size(), cluster));
}

bool WorldMapView::eventFilter(QObject* watched, QEvent* event)
{
    // An overlay whose content changed asks for a new size.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show)
        for (const auto& entry : std::as_const(m_overlays))
            if (entry.second == watched) {
                placeOverlays();
                break;
            }
    return QWidget::eventFilter(watched, event);
}

void WorldMapView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    render(painter);
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
        m_stores.viewport->setFill(fit() == MapFit::fill);
    }
    rebuild();
}

void WorldMapView::onSettingChanged(const QString& key)
{
    if (!mapKeys().contains(key))
        return;
    if (key == QLatin1String("mapFit")) {
        const MapFit mode = fit();
        Q_EMIT keepProportionsChanged(mode == MapFit::whole);
        if (m_stores.viewport) {
            // A new fit mode always shows the whole world again.
            m_stores.viewport->setFill(mode == MapFit::fill);
            m_stores.viewport->setViewport(MapViewport::world());
        }
    }
    if (key == QLatin1String("clusterEnabled"))
        placeOverlays(); // the coverage legend moves above the cluster badge
    rebuild();
}

void WorldMapView::rebuild()
{
    m_slowDate = QDateTime::currentDateTimeUtc();
    m_slowTimer.start();
    update();
}
