#include "kit/PanelStyle.h"

#include "geo/MapData.h"
#include "kit/DarkAppearance.h"
#include "kit/MapStyle.h"

#include <QFile>
#include <QFontDatabase>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

#include <cmath>

namespace PanelStyle {

QFont systemFont(double size, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // A view point is a pixel at Qt's reference 96 dpi.
    font.setPointSizeF(size * 72.0 / 96.0);
    font.setWeight(weight);
    return font;
}

QFont caption(QFont::Weight weight) { return systemFont(11, weight); }
QFont smallCaption(QFont::Weight weight) { return systemFont(10, weight); }
QFont callout(QFont::Weight weight) { return systemFont(12, weight); }
QFont headline() { return systemFont(13, QFont::DemiBold); }

QFont tracked(QFont font)
{
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    return font;
}

QColor primaryText() { return DarkAppearance::text(); }

QColor secondaryText()
{
    QColor colour = DarkAppearance::text();
    colour.setAlphaF(0.62f);
    return colour;
}

QColor tertiaryText()
{
    QColor colour = DarkAppearance::text();
    colour.setAlphaF(0.40f);
    return colour;
}

QColor yellow() { return QColor(0xFF, 0xD6, 0x0A); }
QColor orange() { return QColor(0xFF, 0x9F, 0x0A); }
QColor red() { return QColor(0xFF, 0x45, 0x3A); }

void drawFrame(QPainter& painter, const QRectF& rect, double radius, double fillOpacity)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF box = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(box, radius, radius);
    painter.fillPath(shape, QColor::fromRgbF(1, 1, 1, float(fillOpacity)));
    painter.setPen(QPen(MapTheme::panelStroke(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    painter.restore();
}

void drawSymbol(QPainter& painter, const QString& symbol, const QRectF& rect, const QColor& tint)
{
    // The drawings are read once; a tint's renderer is made once too.
    static QHash<QString, QByteArray> drawings;
    static QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    auto drawing = drawings.find(symbol);
    if (drawing == drawings.end()) {
        QByteArray svg;
        const QString folder = ResourceFolders::standard().application;
        QFile file(folder + QStringLiteral("/icons/") + symbol + QStringLiteral(".svg"));
        if (!folder.isEmpty() && file.open(QIODevice::ReadOnly))
            svg = file.readAll();
        drawing = drawings.insert(symbol, svg);
    }
    if (drawing->isEmpty())
        return;
    const QString key = symbol + QLatin1Char('|') + tint.name(QColor::HexArgb);
    auto renderer = renderers.find(key);
    if (renderer == renderers.end()) {
        QByteArray svg = *drawing;
        svg.replace("currentColor", tint.name(QColor::HexRgb).toLatin1());
        if (tint.alpha() < 255) // SVG colours carry no opacity of their own
            svg.replace("<svg ", "<svg opacity=\"" + QByteArray::number(tint.alphaF(), 'f', 3) + "\" ");
        renderer = renderers.insert(key, std::make_shared<QSvgRenderer>(svg));
    }
    QSizeF size = (*renderer)->defaultSize();
    size.scale(rect.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(0, 0), size);
    target.moveCenter(rect.center());
    (*renderer)->render(&painter, target);
}

void drawSpinner(QPainter& painter, const QPointF& centre, double outer, int spokes, int step, const QColor& colour,
                 double fade, double penWidth)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double inner = outer * 0.45;
    for (int i = 0; i < spokes; ++i) {
        const int age = (step - i + spokes) % spokes;
        QColor c = colour;
        c.setAlphaF(float(1.0 - fade * age / double(spokes - 1)));
        painter.setPen(QPen(c, penWidth, Qt::SolidLine, Qt::RoundCap));
        const double a = 2 * M_PI * i / spokes - M_PI / 2;
        const QPointF direction(std::cos(a), std::sin(a));
        painter.drawLine(centre + direction * inner, centre + direction * outer);
    }
    painter.restore();
}

QLabel* label(const QFont& font, const QColor& colour, QWidget* parent)
{
    auto* text = new QLabel(parent);
    text->setTextFormat(Qt::PlainText);
    text->setFont(font);
    QPalette palette = text->palette();
    palette.setColor(QPalette::WindowText, colour);
    text->setPalette(palette);
    return text;
}

} // namespace PanelStyle
