#include "infobar/InfoCard.h"

#include "kit/DigitCells.h"
#include "kit/PanelStyle.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

QFont titleFont() { return PanelStyle::tracked(PanelStyle::smallCaption(QFont::DemiBold)); }

} // namespace

InfoCard::InfoCard(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void InfoCard::setTitle(const QString& title, const QString& shortTitle)
{
    if (title == m_title && shortTitle == m_shortTitle)
        return;
    m_title = title;
    m_shortTitle = shortTitle;
    updateGeometry();
    update();
}

QString InfoCard::shownTitle() const
{
    return fittedForm(QFontMetricsF(titleFont(), this), m_title.toUpper(), m_shortTitle.toUpper(),
                      width() - 2 * padding);
}

QString InfoCard::fittedForm(const QFontMetricsF& metrics, const QString& full, const QString& brief, double room)
{
    if (metrics.horizontalAdvance(full) <= room)
        return full;
    return DigitCells::fitted(metrics, brief.isEmpty() ? full : brief, room);
}

double InfoCard::titleHeight() const { return QFontMetricsF(titleFont()).height(); }

QSize InfoCard::sizeHint() const
{
    const QSizeF content = contentSize();
    const double width = std::max(content.width(), QFontMetricsF(titleFont()).horizontalAdvance(m_title.toUpper()));
    return { int(std::ceil(width + 2 * padding)),
             int(std::ceil(content.height() + titleHeight() + titleGap + 2 * padding)) };
}

QSize InfoCard::minimumSizeHint() const
{
    const QString title = (m_shortTitle.isEmpty() ? m_title : m_shortTitle).toUpper();
    const double width = std::max(briefContentWidth(), QFontMetricsF(titleFont()).horizontalAdvance(title));
    return { int(std::ceil(width + 2 * padding)), sizeHint().height() };
}

QRectF InfoCard::contentArea() const
{
    const double top = padding + titleHeight() + titleGap;
    return QRectF(padding, top, width() - 2 * padding, height() - top - padding);
}

void InfoCard::paintEvent(QPaintEvent*)
{
    const double ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_frame.size() != pixels || m_frame.devicePixelRatio() != ratio) {
        m_frame = QPixmap(pixels);
        m_frame.setDevicePixelRatio(ratio);
        m_frame.fill(Qt::transparent);
        QPainter frame(&m_frame);
        PanelStyle::drawFrame(frame, rect(), cornerRadius, 0.04);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_frame);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QFont font = titleFont();
    const QFontMetricsF metrics(font, this);
    painter.setFont(font);
    painter.setPen(PanelStyle::secondaryText());
    painter.drawText(QPointF(padding, padding + metrics.ascent()), shownTitle());
    const QRectF area = contentArea();
    painter.save();
    painter.setClipRect(area.adjusted(-1, -1, 1, 1));
    paintContent(painter, area);
    painter.restore();
}
