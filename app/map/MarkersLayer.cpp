#include "map/MarkersLayer.h"

#include "kit/MapStyle.h"
#include "map/HaloText.h"
#include "map/MapContrast.h"
#include "map/PainterPixelRatio.h"
#include "map/PremultipliedShades.h"
#include "support/Hypotenuse.h"

#include <QFontDatabase>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// The callsign's font: the system font at 11 points, bold.
const QFont& callsignFont()
{
    static const QFont font = [] {
        QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setPixelSize(11);
        font.setWeight(QFont::Bold);
        return font;
    }();
    return font;
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(color.alphaF() * alpha));
    return color;
}

// A glow of the colour whose opacity falls evenly from `centreOpacity` at
// the centre to none at `radius` (view points), worked out pixel by pixel
// here: Qt's radial gradient rounds a few pixels differently on x86-64 and
// arm64. Drawn at whole device pixels, as every pixel's distance assumes.
void drawGlow(QPainter& painter, QPointF centre, double radius, const QColor& color, double centreOpacity)
{
    const double ratio = devicePixelRatioOf(painter);
    const double r = radius * ratio;
    const QPointF c = centre * ratio;
    if (!(r > 0) || !std::isfinite(c.x()) || !std::isfinite(c.y()) || std::abs(c.x()) > 1e6 || std::abs(c.y()) > 1e6)
        return;
    const int left = int(std::floor(c.x() - r));
    const int top = int(std::floor(c.y() - r));
    const int side = int(std::ceil(2 * r)) + 2;
    // Each band of a frame paints the markers: only the one it reaches
    // works the glow out.
    const QRectF area(left / ratio, top / ratio, side / ratio, side / ratio);
    if (painter.hasClipping() && !painter.clipBoundingRect().intersects(area))
        return;
    QImage glow(side, side, QImage::Format_ARGB32_Premultiplied);
    if (glow.isNull())
        return;
    const std::array<QRgb, 256> shades = premultipliedShades(color);
    for (int y = 0; y < side; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(glow.scanLine(y));
        for (int x = 0; x < side; ++x) {
            const double t = hypotenuse(left + x + 0.5 - c.x(), top + y + 0.5 - c.y()) / r;
            const double strength = t < 1 ? centreOpacity * (1 - t) : 0.0;
            line[x] = shades[std::size_t(std::clamp(strength, 0.0, 1.0) * 255 + 0.5)];
        }
    }
    glow.setDevicePixelRatio(ratio);
    painter.drawImage(area.topLeft(), glow);
}

// Where the callsign's leading edge starts, from the station's dot.
const QPointF callsignAnchor(12, -10);

HaloTextCache& callsignCache()
{
    static HaloTextCache cache;
    return cache;
}

} // namespace

void MarkersLayer::paint(QPainter& painter) const { paint(painter, callsignText(devicePixelRatioOf(painter))); }

const HaloText* MarkersLayer::callsignText(double ratio) const
{
    if (callsign.isEmpty())
        return nullptr;
    const QColor glow = MapContrast::isLightHalo(halo) ? halo : QColor(Qt::black);
    return &callsignCache()
                .texts({ shownCallsign(callsign) }, callsignFont(), MapContrast::onHalo(Qt::white, halo), glow, 1.5, ratio)
                .first();
}

void MarkersLayer::paint(QPainter& painter, const HaloText* callsignText) const
{
    const QPointF s = projection.point(subsolar);
    const QPointF h = projection.point(home);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);

    // Sun: a soft glow fading out at radius 14, then the disc.
    const QColor sun = MapTheme::sun();
    drawGlow(painter, s, 14, sun, 0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(sun);
    painter.drawEllipse(s, 7, 7);

    // Home: a ring, then a dot with a white rim.
    const QColor homeColor = MapTheme::home();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(withAlpha(homeColor, 0.6), 1.5));
    painter.drawEllipse(h, 9, 9);
    painter.setBrush(homeColor);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawEllipse(h, 4, 4);

    // Right of and slightly above the dot, with a shadow of its own.
    if (callsignText)
        callsignText->drawLeading(painter, h + callsignAnchor);
    painter.restore();
}

QRectF MarkersLayer::stationArea(const HaloText* callsignText) const
{
    const QPointF h = projection.point(home);
    QRectF area(h - QPointF(10, 10), QSizeF(20, 20));
    if (callsignText) {
        const QPointF anchor = h + callsignAnchor;
        // With its glow.
        area |= QRectF(anchor - QPointF(0, callsignText->box.height() / 2), callsignText->box).adjusted(-2, -2, 2, 2);
    }
    return area;
}
