#include "map/RotatorLegend.h"

#include "kit/Color.h"
#include "kit/DarkAppearance.h"
#include "kit/MapStyle.h"
#include "map/OverlayPanel.h"
#include "rotator/RotatorManager.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace {

constexpr double padding = 8;
constexpr double rowSpacing = 3;
constexpr double itemSpacing = 6;
constexpr QSizeF swatchSize(14, 8);

QColor orange() { return QColor(0xFF, 0x9F, 0x0A); }

} // namespace

RotatorLegend::Layout RotatorLegend::layOut(const QList<Row>& rows)
{
    const QFont regular = OverlayPanel::captionFont();
    const QFont semibold = OverlayPanel::captionFont(true);
    Layout layout;
    double y = padding;
    double width = 0;

    const QFontMetricsF titleMetrics(semibold);
    const QString title = QStringLiteral("Antennas");
    const QSizeF titleSize(titleMetrics.horizontalAdvance(title), titleMetrics.height());
    layout.pieces.append({ QRectF(QPointF(padding, y), titleSize), title, semibold, DarkAppearance::text() });
    width = titleSize.width();
    y += titleSize.height();

    const double rowHeight = std::max(QFontMetricsF(regular).height(), QFontMetricsF(semibold).height());
    for (const Row& row : rows) {
        y += rowSpacing;
        double x = padding;
        auto place = [&](QSizeF size, const QString& text, const QFont& font, const QColor& color) {
            if (x > padding)
                x += itemSpacing;
            layout.pieces.append({ QRectF(QPointF(x, y + (rowHeight - size.height()) / 2), size), text, font, color });
            x += size.width();
        };
        auto text = [&](const QString& text, const QFont& font, const QColor& color) {
            const QFontMetricsF metrics(font);
            place(QSizeF(metrics.horizontalAdvance(text), metrics.height()), text, font, color);
        };
        place(swatchSize, QString(), regular, row.color);
        text(row.name, semibold, DarkAppearance::text());
        text(row.heading, regular, DarkAppearance::text());
        if (row.target)
            text(*row.target, regular, OverlayPanel::secondaryTextColor());
        if (row.notConnected)
            text(QStringLiteral("not connected"), regular, orange());
        width = std::max(width, x - padding);
        y += rowHeight;
    }
    layout.size = QSizeF(width + 2 * padding, y + padding);
    return layout;
}

QList<RotatorLegend::Row> RotatorLegend::rows(const QList<RotatorConfig>& rotators,
                                              const QHash<QUuid, RotatorStatus>& status)
{
    QList<Row> rows;
    for (const RotatorConfig& rotator : rotators) {
        const auto s = status.constFind(rotator.id);
        const bool known = s != status.cend();
        Row row;
        row.color = Color::fromHex(rotator.color);
        row.name = rotator.name;
        row.heading = known && s->heading ? RotatorStatus::degreesText(*s->heading) : QStringLiteral("\u2013");
        if (known && s->target)
            row.target = QStringLiteral("\u2192 ") + RotatorStatus::degreesText(*s->target);
        row.notConnected = !known || !s->connected;
        rows.append(row);
    }
    return rows;
}

RotatorLegend::RotatorLegend(RotatorManager* rotors, QWidget* parent)
    : QWidget(parent)
    , m_rotors(rotors)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (m_rotors) {
        connect(m_rotors, &RotatorManager::rotatorsChanged, this, &RotatorLegend::sync);
        connect(m_rotors, &RotatorManager::statusChanged, this, &RotatorLegend::sync);
    }
    sync();
}

void RotatorLegend::sync()
{
    const QList<Row> rows = m_rotors ? RotatorLegend::rows(m_rotors->rotators(), m_rotors->status()) : QList<Row> {};
    // Shown only inside the map: a widget without a parent would show as a
    // window of its own.
    if (rows.isEmpty())
        hide();
    else if (parentWidget())
        show();
    if (rows == m_rows)
        return;
    Layout layout = layOut(rows);
    const bool resized = layout.size != m_layout.size;
    m_rows = rows;
    m_layout = std::move(layout);
    if (resized)
        updateGeometry();
    update();
}

QSize RotatorLegend::sizeHint() const { return m_layout.size.toSize() + QSize(1, 1); }

void RotatorLegend::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The card of the map's other legends.
    const QRectF card = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(MapTheme::panelStroke(), 1));
    painter.setBrush(OverlayPanel::fillColor(OverlayPanel::Shape::roundedRectangle));
    painter.drawRoundedRect(card, 8, 8);

    for (const Piece& piece : m_layout.pieces) {
        if (piece.text.isEmpty()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(piece.color);
            painter.drawRoundedRect(piece.rect, 2, 2);
            continue;
        }
        painter.setFont(piece.font);
        painter.setPen(piece.color);
        painter.drawText(piece.rect, Qt::AlignLeft | Qt::AlignVCenter, piece.text);
    }
}
