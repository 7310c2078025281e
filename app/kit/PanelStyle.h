#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;
class QLabel;
class QWidget;

// The look of the info bar under the map: its text styles and colours, the
// frame its panels and cards share, and its symbols. Sizes are view points.
namespace PanelStyle {

// Text styles: caption (11), small caption (10), callout (12), headline (13,
// semibold), each in the system font; an optional weight.
QFont caption(QFont::Weight weight = QFont::Normal);
QFont smallCaption(QFont::Weight weight = QFont::Normal);
QFont callout(QFont::Weight weight = QFont::Normal);
QFont headline();
// The system font at a size and weight.
QFont systemFont(double size, QFont::Weight weight);
// A font with 1.2 points between its letters, as the panels' titles.
QFont tracked(QFont font);

// Text colours on the dark panels.
QColor primaryText();
QColor secondaryText();
QColor tertiaryText();

// The desktop's yellow, orange and red, in their dark-appearance forms.
QColor yellow();
QColor orange();
QColor red();

// A panel's or card's frame: a rounded rectangle filled with white at the
// opacity and stroked with the panel stroke colour, 1 point wide.
void drawFrame(QPainter& painter, const QRectF& rect, double radius, double fillOpacity);

// A named symbol (Resources/icons/<symbol>.svg) drawn into the rectangle,
// keeping its proportions; "currentColor" in the drawing takes `tint`, a
// drawing with colours of its own keeps them.
void drawSymbol(QPainter& painter, const QString& symbol, const QRectF& rect, const QColor& tint);

// A busy wheel turning clockwise: `spokes` round-capped spokes from 0.45 ×
// `outer` to `outer` around the centre, the one at `step` (0 at the top) in
// the full colour and those behind it fading, the last by `fade` of its
// opacity.
void drawSpinner(QPainter& painter, const QPointF& centre, double outer, int spokes, int step, const QColor& colour,
                 double fade, double penWidth);

// A plain-text label in a font and colour.
QLabel* label(const QFont& font, const QColor& colour, QWidget* parent = nullptr);

} // namespace PanelStyle
