#include "settings/StatusDot.h"

#include <QPainter>

QColor StatusDot::green() { return QColor(0x3C, 0xD2, 0x6E); }
QColor StatusDot::orange() { return QColor(0xFF, 0xA8, 0x3C); }

StatusDot::StatusDot(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(diameter, diameter);
}

void StatusDot::setConnected(bool connected)
{
    const QColor color = connected ? green() : orange();
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void StatusDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawEllipse(QRectF(rect()));
}
