#include "map/HoverInfoView.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>

#include <cmath>
#include <utility>

namespace {

// Where each line goes and how wide each grid's columns are.
struct Layout {
    struct Placed {
        double top = 0;
        double height = 0;
        double ascent = 0; // from the top to the baseline all cells share
    };
    QList<Placed> lines;
    QHash<int, QList<double>> columns; // grid number → column widths
    QSizeF content;
};

QString shown(const HoverText& cell)
{
    if (cell.maxWidth <= 0)
        return cell.text;
    return QFontMetricsF(HoverInfoView::font(cell.font)).elidedText(cell.text, Qt::ElideRight, cell.maxWidth);
}

double textWidth(const HoverText& cell)
{
    return std::ceil(QFontMetricsF(HoverInfoView::font(cell.font)).horizontalAdvance(shown(cell)));
}

// The line's height and baseline: its tallest ascent over its deepest
// descent.
std::pair<double, double> lineMetrics(const QList<HoverText>& cells)
{
    double ascent = 0;
    double descent = 0;
    for (const HoverText& cell : cells) {
        const QFontMetricsF metrics(HoverInfoView::font(cell.font));
        ascent = std::max(ascent, metrics.ascent());
        descent = std::max(descent, metrics.descent());
    }
    return { std::ceil(ascent + descent), ascent };
}

constexpr double dividerPadding = 2;

// A line's height and the baseline of its text.
std::pair<double, double> lineBox(const HoverLine& line)
{
    if (line.kind == HoverLine::Kind::divider)
        return { 1 + 2 * dividerPadding, 0 };
    return lineMetrics(line.cells);
}

Layout layOut(const QList<HoverLine>& lines)
{
    Layout layout;
    for (const HoverLine& line : lines) {
        if (line.kind != HoverLine::Kind::grid)
            continue;
        QList<double>& widths = layout.columns[line.grid];
        if (widths.size() < line.cells.size())
            widths.resize(line.cells.size(), 0);
        for (qsizetype c = 0; c < line.cells.size(); ++c)
            widths[c] = std::max(widths[c], textWidth(line.cells[c]));
    }

    double y = 0;
    double width = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const HoverLine& line = lines[i];
        if (i > 0)
            y += line.gapAbove;
        const auto [height, ascent] = lineBox(line);
        switch (line.kind) {
        case HoverLine::Kind::divider:
            break;
        case HoverLine::Kind::text:
            for (const HoverText& cell : line.cells)
                width = std::max(width, textWidth(cell));
            break;
        case HoverLine::Kind::grid: {
            const QList<double>& widths = layout.columns[line.grid];
            double row = 0;
            for (qsizetype c = 0; c < widths.size(); ++c)
                row += widths[c] + (c > 0 ? line.columnSpacing : 0);
            width = std::max(width, row);
            break;
        }
        }
        layout.lines.append({ y, height, ascent });
        y += height;
    }
    layout.content = QSizeF(width, y);
    return layout;
}

} // namespace

HoverInfoView::HoverInfoView(QWidget* parent)
    : OverlayPanel(Shape::roundedRectangle, parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QFont HoverInfoView::font(HoverText::Font font)
{
    switch (font) {
    case HoverText::Font::caption:
        return captionFont();
    case HoverText::Font::captionSemibold:
        return captionFont(true);
    case HoverText::Font::callout: {
        QFont callout = captionFont(true);
        callout.setPixelSize(13);
        return callout;
    }
    case HoverText::Font::tag: {
        QFont tag = smallCaptionFont();
        tag.setWeight(QFont::Bold);
        return tag;
    }
    }
    return captionFont();
}

int HoverInfoView::heightOf(const QList<HoverLine>& lines)
{
    double height = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            height += lines[i].gapAbove;
        height += lineBox(lines[i]).first;
    }
    return int(std::ceil(height)) + 2 * padding;
}

void HoverInfoView::setLines(const QList<HoverLine>& lines)
{
    if (lines == m_lines && !m_picture.isNull())
        return;
    m_lines = lines;
    render();
    updateGeometry();
    update();
}

void HoverInfoView::render()
{
    ++m_renders;
    const Layout layout = layOut(m_lines);
    m_size = QSize(int(std::ceil(layout.content.width())) + 2 * padding,
                   int(std::ceil(layout.content.height())) + 2 * padding);

    const qreal ratio = std::max<qreal>(1, devicePixelRatioF());
    m_picture = QPixmap(m_size * ratio);
    m_picture.setDevicePixelRatio(ratio);
    m_picture.fill(Qt::transparent);
    QPainter painter(&m_picture);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const HoverLine& line = m_lines[i];
        const double top = padding + layout.lines[i].top;
        const double baseline = top + layout.lines[i].ascent;
        if (line.kind == HoverLine::Kind::divider) {
            QColor rule = secondaryTextColor();
            rule.setAlphaF(0.3f);
            painter.fillRect(QRectF(padding, top + dividerPadding, layout.content.width(), 1), rule);
            continue;
        }
        double x = padding;
        const QList<double> widths = layout.columns.value(line.grid);
        for (qsizetype c = 0; c < line.cells.size(); ++c) {
            const HoverText& cell = line.cells[c];
            painter.setFont(font(cell.font));
            painter.setPen(cell.colour);
            painter.drawText(QPointF(x, baseline), shown(cell));
            if (line.kind == HoverLine::Kind::grid && c < widths.size())
                x += widths[c] + line.columnSpacing;
        }
    }
}

void HoverInfoView::paintEvent(QPaintEvent* event)
{
    OverlayPanel::paintEvent(event);
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}
