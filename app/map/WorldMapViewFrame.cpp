// The map view's frame: the stack of layers it composes, in bands, for
// what a paint shows, and the places a gesture must draw anew.
#include "map/WorldMapView.h"

#include "geo/SolarCalculator.h"
#include "kit/Color.h"
#include "kit/LabelFonts.h"
#include "map/BaseMapLayer.h"
#include "map/HaloText.h"
#include "map/MapCoverage.h"
#include "map/MarkersLayer.h"
#include "map/PainterPixelRatio.h"
#include "map/PieceWork.h"
#include "map/PrefixLayer.h"
#include "map/RotatorLayer.h"
#include "map/SpaceWeatherLayers.h"
#include "map/WorldRaster.h"
#include "map/ZoneLayer.h"
#include "rotator/RotatorManager.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

namespace {

// A colour setting whose empty text means "the caller's own colour".
QColor colourOr(const QString& stored, const QColor& fallback)
{
    return stored.isEmpty() ? fallback : Color::fromHex(stored);
}

} // namespace

void WorldMapView::render(QPainter& painter)
{
    MapFrame::Delivery delivery { &painter, QRegion(rect()) };
    composeFrame(devicePixelRatioOf(painter), &delivery);
    if (!delivery.delivered)
        m_frame.paint(painter, rect());
    paintSpots(painter);
}

void WorldMapView::composeFrame(double ratio, MapFrame::Delivery* delivery)
{
    // The space weather and coverage layers are asked here for what this
    // paint shows; they build it away from the paint and say when it is
    // ready.
    const MapOptions& o = m_options;
    m_spaceWeather->prepare(o, m_slowDate);
    m_coverage->prepare(o, m_slowDate, useITU());

    const MapProjection proj = projection();
    const MapFrame::Shows shows { proj, ratio, m_generation };
    if (m_frame.holds(shows) && (m_frame.isCrisp() || inGesture()))
        return;
    if (inGesture() && m_frame.follow(shows, pinnedAreas(proj), [&] { return layerStack(proj, ratio); }))
        return;
    m_frame.render(shows, layerStack(proj, ratio), delivery);
}

MapFrame::Layers WorldMapView::layerStack(const MapProjection& proj, double ratio)
{
    // Everything that is kept between paints (rendered texts, sprites,
    // rasters, thinned lines) is taken here on the main thread; the bands
    // then only read it.
    const MapOptions& o = m_options;
    const QDateTime& now = m_slowDate;
    const QColor haloColour = halo(o.mapStyle);
    std::vector<MapFrame::Draw> layers;
    const auto add = [&layers](MapFrame::Draw draw) {
        if (draw)
            layers.push_back(std::move(draw));
    };

    // 1: the base map.
    const MapBorders borders { colourOr(o.borderColor, MapStyles::border(o.mapStyle)), o.borderWidth };
    const GridLabels gridLabels { gridLabelFont(o.gridFont, o.gridSize), gridLabelColor(o.gridColor, o.mapStyle),
                                  gridLabelEqualDigits(o.gridFont) };
    add([base = BaseMapLayer { proj, o.mapStyle, o.showGrid, borders, gridLabels },
         outlines = &BaseMapLayer::paths(proj, ratio)](QPainter& band) { base.draw(band, *outlines); });

    // 2: the aurora forecast.
    add(m_spaceWeather->aurora(proj, o));

    // 3: the slow layers, for the timeline's date.
    if (o.showGreyline) {
        const QImage raster = m_greyline.image(now, o.nightIntensity, o.greylineGlow,
                                               MapStyles::isLight(o.mapStyle) ? NightTint::light : NightTint::dark,
                                               &GreylineLayer::makeImage);
        if (!raster.isNull())
            add([layer = WorldRaster { raster, proj }](QPainter& band) { layer.paint(band); });
    }
    add(m_coverage->layer(proj));
    // The line pictures of the contours and zones, which the bands may have
    // made ahead, in the order the bands take them.
    std::vector<std::shared_ptr<PieceWork>> ahead;
    std::shared_ptr<PieceWork> contours;
    add(m_spaceWeather->muf(proj, o, borders, haloColour, ratio, &contours));
    if (contours)
        ahead.push_back(contours);
    const QFont zoneFont = labelFont(o.zoneFont, o.zoneSize, o.zoneBold);
    for (const auto& [kind, shown, colour] : { std::tuple { ZoneKind::itu, o.showITUZones, o.ituColor },
                                               std::tuple { ZoneKind::cq, o.showCQZones, o.cqColor } }) {
        const QList<RadioZone>& zones = Zones::zones(kind);
        if (!shown || zones.isEmpty())
            continue;
        const ZoneLayer layer { proj, kind, Color::fromHex(colour), o.zoneLineOpacity, zoneFont, haloColour };
        const auto lines = std::make_shared<const ZoneLayer::Lines>(layer.lines(ZoneLayer::outlines(kind), ratio));
        const auto pictures = std::make_shared<PieceWork>(
            [lines](const QRect& part) { return QList<QImage> { ZoneLayer::linesPicture(*lines, part) }; },
            [lines](const QRect& part) { return ZoneLayer::linesWeight(*lines, part); },
            [lines](const QRect& piece) { return ZoneLayer::linesPart(*lines, piece); });
        ahead.push_back(pictures);
        add([layer, &zones, lines, pictures, numbers = layer.numbers(zones, ratio)](QPainter& band) {
            ZoneLayer::drawLines(band, *lines, pictures.get());
            layer.drawNumbers(band, zones, numbers);
        });
    }
    if (o.showPrefixes) {
        const PrefixLayer layer { proj, prefixes(), labelFont(o.prefixFont, o.prefixSize, o.prefixBold),
                                  Color::fromHex(o.prefixColor), haloColour };
        add([layer, labels = layer.labels(ratio)](QPainter& band) { layer.draw(band, labels); });
    }
    add(m_spaceWeather->ionosondes(proj, o, haloColour, ratio));
    const MarkersLayer markers { proj, o.home, o.callsign, SolarCalculator::position(now).subsolarPoint, haloColour };
    const HaloText* callsign = markers.callsignText(ratio);
    add([markers, callsign = callsign ? std::optional(*callsign) : std::nullopt](QPainter& band) {
        markers.paint(band, callsign ? &*callsign : nullptr);
    });

    MapFrame::Layers stack;
    stack.bands = [layers = std::move(layers)](QPainter& band) {
        for (const MapFrame::Draw& layer : layers)
            layer(band);
    };
    stack.ahead = std::move(ahead);
    // 4: the rotators' beams, in one piece: their dashed lines would start
    // their dashes afresh at every band's edge.
    // Their tags keep off the station's ring and callsign, which they
    // would otherwise cover.
    if (m_stores.rotors && !m_stores.rotors->rotators().isEmpty())
        stack.whole
            = [layer = RotatorLayer { proj, o.home, m_stores.rotors->rotators(), m_stores.rotors->status(), haloColour,
                                      markers.stationArea(callsign) }](QPainter& painter) { layer.paint(painter); };
    return stack;
}

QList<QRectF> WorldMapView::pinnedAreas(const MapProjection& proj)
{
    if (!m_options.showGrid)
        return {};
    const QFont font = gridLabelFont(m_options.gridFont, m_options.gridSize);
    if (m_pinned && m_pinned->size == proj.size && m_pinned->font == font)
        return m_pinned->areas;
    // The graticule's numbers run along the bottom and the left edge of the
    // view (see BaseMapLayer), whatever the world does.
    const QFontMetricsF metrics(font);
    double widest = 0;
    for (const char* text : { "60\u00B0S", "30\u00B0S", "0\u00B0", "30\u00B0N", "60\u00B0N" })
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromUtf8(text)));
    const double margin = 4;
    const double height = metrics.ascent() + metrics.descent();
    const QSizeF size = proj.size;
    m_pinned = Pinned { size, font,
                        { QRectF(0, size.height() - 3 - height - margin, size.width(), height + 3 + margin),
                          QRectF(0, 0, 3 + 1.5 * widest + margin, size.height()) } };
    return m_pinned->areas;
}
