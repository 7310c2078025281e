#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QPointF>
#include <QString>

class QPaintDevice;
class QPainter;

// Text whose digits stand in cells of one width, the font's widest digit,
// each digit centred in its cell; every other character keeps its own
// advance. A clock laid out so keeps its width and the places of its colons
// whatever the digits read, in any font: Qt 6.4 cannot ask a font for its
// tabular figures, and many fonts draw a narrower "1".
namespace DigitCells {

// The width of one digit cell.
double cellWidth(const QFontMetricsF& metrics);

// The left edge of each character's cell, from the start of the text, and
// the whole width as a last entry.
QList<double> edges(const QFontMetricsF& metrics, const QString& text);

// The width of the text laid out so.
double width(const QFontMetricsF& metrics, const QString& text);

// Draws the text in the painter's font and pen, its baseline starting at
// `origin`.
void draw(QPainter& painter, const QPointF& origin, const QString& text);

// The font made smaller by a factor (at most 1, at least down to 1 point)
// so that the text laid out so fits the width. Measured at the size it
// gives, since a font does not narrow in proportion to its size; a text
// that fits keeps the font's own size.
QFont fitting(const QFont& font, const QString& text, double width, const QPaintDevice* device = nullptr);

// The text as it fits the width without cutting a number: whole when it
// fits; else the words before its first number elided with "…" ("Elev…
// -40.2°", "Sunri… 11h 44m"); else the numbers alone; only when even they
// do not fit, the text elided where it has to be.
QString fitted(const QFontMetricsF& metrics, const QString& text, double width);

} // namespace DigitCells
