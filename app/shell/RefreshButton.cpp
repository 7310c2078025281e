#include "shell/RefreshButton.h"

#include "kit/PanelStyle.h"

#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QTimer>

#include <algorithm>

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
    const double outer = std::min(iconSize().height(), height() - 8) / 2.0;
    PanelStyle::drawSpinner(painter, QRectF(rect()).center(), outer, spokes, m_step,
                            palette().color(QPalette::ButtonText), 0.8, std::max(1.5, outer / 6.0));
}
