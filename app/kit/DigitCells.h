#pragma once

#include <QFontMetricsF>
#include <QList>
#include <QPointF>
#include <QString>

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

} // namespace DigitCells
