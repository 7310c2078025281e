#include "map/OverlayPanel.h"

#include "kit/DarkAppearance.h"
#include "kit/MapStyle.h"
#include "kit/PanelStyle.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace {

QFont systemFont(int pixels, bool semibold)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixels);
    if (semibold)
        font.setWeight(QFont::DemiBold);
    return font;
}

} // namespace

OverlayPanel::OverlayPanel(Shape shape, QWidget* parent)
    : QWidget(parent)
    , m_shape(shape)
{
    setPalette(DarkAppearance::palette());
    setAttribute(Qt::WA_TranslucentBackground);
}

QColor OverlayPanel::fillColor(Shape shape) { return QColor(0x14, 0x18, 0x20, shape == Shape::capsule ? 0xB4 : 0xFF); }

QFont OverlayPanel::captionFont(bool semibold) { return systemFont(11, semibold); }

QFont OverlayPanel::smallCaptionFont(bool semibold) { return systemFont(10, semibold); }

QColor OverlayPanel::textColor() { return DarkAppearance::text(); }

QColor OverlayPanel::secondaryTextColor()
{
    QColor colour = DarkAppearance::text();
    colour.setAlphaF(0.62f);
    return colour;
}

QLabel* OverlayPanel::label(const QFont& font, const QColor& colour, QWidget* parent)
{
    return PanelStyle::label(font, colour, parent);
}

void OverlayPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = m_shape == Shape::capsule ? box.height() / 2 : 8;
    QPainterPath shape;
    shape.addRoundedRect(box, radius, radius);
    painter.fillPath(shape, fillColor(m_shape));
    painter.setPen(QPen(MapTheme::panelStroke(), 1));
    painter.drawPath(shape);
}
