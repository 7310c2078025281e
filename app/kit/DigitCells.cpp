#include "kit/DigitCells.h"

#include <QPainter>

#include <algorithm>

namespace DigitCells {

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

} // namespace

double cellWidth(const QFontMetricsF& metrics)
{
    double widest = 0;
    for (char digit = '0'; digit <= '9'; ++digit)
        widest = std::max(widest, metrics.horizontalAdvance(QLatin1Char(digit)));
    return widest;
}

QList<double> edges(const QFontMetricsF& metrics, const QString& text)
{
    const double cell = cellWidth(metrics);
    QList<double> result;
    result.reserve(text.size() + 1);
    double x = 0;
    // Runs of other characters are measured whole, so they keep their
    // kerning; each character's edge inside a run is where the run's prefix
    // ends.
    qsizetype runStart = -1;
    double runX = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isDigit(text[i])) {
            if (runStart >= 0) {
                x = runX + metrics.horizontalAdvance(text.mid(runStart, i - runStart));
                runStart = -1;
            }
            result << x;
            x += cell;
        } else {
            if (runStart < 0) {
                runStart = i;
                runX = x;
            }
            result << runX + metrics.horizontalAdvance(text.mid(runStart, i - runStart));
        }
    }
    if (runStart >= 0)
        x = runX + metrics.horizontalAdvance(text.mid(runStart));
    result << x;
    return result;
}

double width(const QFontMetricsF& metrics, const QString& text) { return edges(metrics, text).back(); }

void draw(QPainter& painter, const QPointF& origin, const QString& text)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double cell = cellWidth(metrics);
    const QList<double> at = edges(metrics, text);
    qsizetype runStart = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool digit = i < text.size() && isDigit(text[i]);
        if ((digit || i == text.size()) && runStart >= 0) {
            painter.drawText(QPointF(origin.x() + at[runStart], origin.y()), text.mid(runStart, i - runStart));
            runStart = -1;
        }
        if (i == text.size())
            break;
        if (digit) {
            const double advance = metrics.horizontalAdvance(text[i]);
            painter.drawText(QPointF(origin.x() + at[i] + (cell - advance) / 2, origin.y()), QString(text[i]));
        } else if (runStart < 0) {
            runStart = i;
        }
    }
}

} // namespace DigitCells
