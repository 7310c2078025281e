#include "kit/DigitCells.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

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

double width(const QFontMetricsF& metrics, const QString& text)
{
    // As the last of the edges, without measuring every prefix of a run.
    const double cell = cellWidth(metrics);
    double total = 0;
    qsizetype runStart = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isDigit(text[i])) {
            if (runStart >= 0) {
                total += metrics.horizontalAdvance(text.mid(runStart, i - runStart));
                runStart = -1;
            }
            total += cell;
        } else if (runStart < 0) {
            runStart = i;
        }
    }
    if (runStart >= 0)
        total += metrics.horizontalAdvance(text.mid(runStart));
    return total;
}

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

QFont fitting(const QFont& font, const QString& text, double width, const QPaintDevice* device)
{
    QFont fitted = font;
    const double natural = font.pointSizeF();
    double size = natural;
    // Each step measures the text at the size it tried; a font's width
    // follows its size closely, so two or three steps settle it.
    for (int step = 0; step < 6; ++step) {
        const double measured = DigitCells::width(QFontMetricsF(fitted, device), text);
        if (measured <= width || size <= 1)
            break;
        size = std::max(1.0, size * std::min(0.99, width / measured));
        fitted.setPointSizeF(size);
    }
    return fitted;
}

QString fitted(const QFontMetricsF& metrics, const QString& text, double width)
{
    if (DigitCells::width(metrics, text) <= width)
        return text;
    // The first word that holds a digit starts the numbers.
    qsizetype start = -1;
    for (qsizetype i = 0; i < text.size() && start < 0; ++i)
        if (isDigit(text[i]))
            start = text.lastIndexOf(QLatin1Char(' '), i) + 1;
    if (start > 0) {
        const QString numbers = text.mid(start);
        const QString words = text.left(start).trimmed();
        const double room = width - DigitCells::width(metrics, numbers) - metrics.horizontalAdvance(QLatin1Char(' '));
        const QString ellipsis = QStringLiteral("…");
        if (room >= metrics.horizontalAdvance(ellipsis)) {
            QString cut = metrics.elidedText(words, Qt::ElideRight, room);
            if (cut.isEmpty())
                cut = ellipsis;
            return cut + QLatin1Char(' ') + numbers;
        }
        if (DigitCells::width(metrics, numbers) <= width)
            return numbers;
    }
    return metrics.elidedText(text, Qt::ElideRight, width);
}

} // namespace DigitCells
