#include "shell/RefreshButton.h"

#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QTimer>

#include <cmath>

namespace {
constexpr int spokes = 12;
}

RefreshButton::RefreshButton(QWidget* parent)
    : QToolButton(parent)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(80);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % spokes;
        update();
    });
}

void RefreshButton::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    if (busy)
        m_timer->start();
    else
        m_timer->stop();
    update();
}

void RefreshButton::paintEvent(QPaintEvent* event)
{
    if (!m_busy) {
        QToolButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawComplexControl(QStyle::CC_ToolButton, option);

    // Twelve spokes, the leading one brightest, turning clockwise.
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const double outer = std::min(iconSize().height(), height() - 8) / 2.0;
    const double inner = outer * 0.45;
    const QColor colour = palette().color(QPalette::ButtonText);
    for (int i = 0; i < spokes; ++i) {
        const int age = (m_step - i + spokes) % spokes;
        QColor c = colour;
        c.setAlphaF(float(1.0 - 0.8 * age / double(spokes - 1)));
        painter.setPen(QPen(c, std::max(1.5, outer / 6.0), Qt::SolidLine, Qt::RoundCap));
        const double a = 2 * M_PI * i / spokes - M_PI / 2;
        painter.drawLine(centre + QPointF(std::cos(a), std::sin(a)) * inner,
                         centre + QPointF(std::cos(a), std::sin(a)) * outer);
    }
}
