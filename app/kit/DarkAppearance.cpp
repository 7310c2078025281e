#include "kit/DarkAppearance.h"

#include "kit/MapStyle.h"

#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QToolTip>
#include <QWidget>

namespace {

// Fusion frames a check box's box in a shade of the window colour, which on
// the dark palette all but vanishes: an unchecked box showed as nothing at
// all beside its text.
class DarkStyle : public QProxyStyle {
public:
    DarkStyle()
        : QProxyStyle(QStringLiteral("Fusion"))
    {
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element != PE_IndicatorCheckBox)
            return;
        const bool enabled = option->state & State_Enabled;
        QColor frame = option->palette.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
        frame.setAlphaF(enabled ? 0.6 : 0.45);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(frame, 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        painter->restore();
    }
};

} // namespace

namespace DarkAppearance {

QColor text() { return QColor(0xE3, 0xE8, 0xEF); }
QColor dimmedText() { return QColor(0x66, 0x6F, 0x7C); }
QColor accent() { return MapTheme::accent(); }
QColor toolBar() { return QColor(0x1B, 0x21, 0x2C); }

QPalette palette()
{
    const QColor panel = MapTheme::panel();
    const QColor window = panel.lighter(125);
    const QColor button(0x26, 0x2E, 0x3B);
    const QColor highlight(0x2A, 0x8A, 0x77);

    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text());
    p.setColor(QPalette::Base, panel);
    p.setColor(QPalette::AlternateBase, window.lighter(115));
    p.setColor(QPalette::ToolTipBase, QColor(0x25, 0x2C, 0x38));
    p.setColor(QPalette::ToolTipText, text());
    p.setColor(QPalette::PlaceholderText, QColor(0x8A, 0x93, 0xA0));
    p.setColor(QPalette::Text, text());
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text());
    p.setColor(QPalette::BrightText, QColor(0xFF, 0x6B, 0x6B));
    p.setColor(QPalette::Light, button.lighter(140));
    p.setColor(QPalette::Midlight, button.lighter(120));
    p.setColor(QPalette::Mid, button.darker(130));
    p.setColor(QPalette::Dark, panel.darker(150));
    p.setColor(QPalette::Shadow, QColor(0, 0, 0));
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, accent());
    p.setColor(QPalette::LinkVisited, accent().darker(120));
    for (QPalette::ColorRole role : { QPalette::WindowText, QPalette::Text, QPalette::ButtonText })
        p.setColor(QPalette::Disabled, role, dimmedText());
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x3A, 0x42, 0x4E));
    return p;
}

void apply(QWidget* window)
{
    const QPalette dark = palette();
    window->setPalette(dark);
    // Menus are windows of their own and take the palette only when asked to.
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        menu->setAttribute(Qt::WA_WindowPropagation);
        menu->setPalette(dark);
    }
    // Tooltips take no palette from the widget they explain, only Qt's one
    // tooltip palette, which every window shares.
    QToolTip::setPalette(dark);
}

QStyle* style() { return new DarkStyle; }

QString toolBarStyleSheet()
{
    const QColor a = accent();
    const auto rgba = [](const QColor& c, double alpha) {
        return QStringLiteral("rgba(%1, %2, %3, %4)") .arg(c.red()).arg(c.green()).arg(c.blue()).arg(
            QString::number(alpha, 'f', 2));
    };
    return QStringLiteral(R"(
QToolBar#mainToolBar {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #212835, stop:1 #1A202A);
    border: none;
    border-bottom: 1px solid #0B0E13;
    padding: 5px 10px;
    spacing: 3px;
}
QToolBar#mainToolBar QToolButton {
    color: %1;
    background: transparent;
    border: 1px solid transparent;
    border-radius: 6px;
    padding: 4px 8px;
}
QToolBar#mainToolBar QToolButton:hover { background: rgba(255, 255, 255, 0.07); }
QToolBar#mainToolBar QToolButton:pressed { background: rgba(255, 255, 255, 0.13); }
QToolBar#mainToolBar QToolButton:checked {
    background: %2;
    border-color: %3;
    color: #FFFFFF;
}
QToolBar#mainToolBar QToolButton:checked:hover { background: %4; }
QToolBar#mainToolBar QToolButton:disabled { color: %5; }
QToolBar#mainToolBar QToolButton[popupMode="2"] { padding-right: 18px; }
QToolBar#mainToolBar QToolButton::menu-indicator {
    subcontrol-origin: padding;
    subcontrol-position: center right;
    right: 5px;
}
QToolBar#mainToolBar QToolButton#toolBarOverflow {
    padding: 4px 4px;
}
QToolBar#mainToolBar QToolButton#toolBarOverflow::menu-indicator { image: none; width: 0px; }
QToolBar#mainToolBar::separator {
    background: rgba(255, 255, 255, 0.12);
    width: 1px;
    margin: 7px 8px;
}
)")
                              .arg(text().name(), rgba(a, 0.20), rgba(a, 0.55), rgba(a, 0.28), dimmedText().name());
}

} // namespace DarkAppearance
