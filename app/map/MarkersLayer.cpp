#include "map/MarkersLayer.h"

#include "kit/MapStyle.h"
#include "map/HaloText.h"
#include "map/MapContrast.h"
#include "map/PainterPixelRatio.h"

#include <QFontDatabase>
#include <QPainter>
#include <QRadialGradient>

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
    QRadialGradient glow(s, 14);
    glow.setColorAt(0, withAlpha(sun, 0.5));
    glow.setColorAt(1, withAlpha(sun, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(s, 14, 14);
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
        callsignText->drawLeading(painter, h + QPointF(12, -10));
    painter.restore();
}
