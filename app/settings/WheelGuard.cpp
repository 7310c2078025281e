#include "settings/WheelGuard.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

bool takesTheWheel(const QWidget* widget)
{
    if (qobject_cast<const QScrollBar*>(widget))
        return false; // scrolling is what the wheel is for
    return qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSlider*>(widget)
        || qobject_cast<const QAbstractSpinBox*>(widget);
}

// Focus the user gave: a click, Tab, Shift+Tab or a shortcut.
bool chosenByTheUser(Qt::FocusReason reason)
{
    return reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
        || reason == Qt::ShortcutFocusReason;
}

// Focus that leaves and comes back with the window or a popup (a picker's
// own list): the control stays as chosen as it was.
bool passing(Qt::FocusReason reason) { return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason; }

} // namespace

WheelGuard::WheelGuard(QAbstractScrollArea* page)
    : QObject(page)
    , m_page(page)
{
}

void WheelGuard::protect(QWidget* root, QAbstractScrollArea* page)
{
    auto* guard = new WheelGuard(page);
    for (QWidget* widget : root->findChildren<QWidget*>())
        if (takesTheWheel(widget))
            guard->guard(widget);
}

void WheelGuard::guard(QWidget* control)
{
    // Not WheelFocus: the wheel passing over a picker must not pick it.
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(this);
    connect(control, &QObject::destroyed, this, [this](QObject* gone) { m_chosen.remove(gone); });
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (chosenByTheUser(reason))
            m_chosen.insert(watched);
        else if (!passing(reason))
            m_chosen.remove(watched);
        break;
    }
    case QEvent::FocusOut:
        if (!passing(static_cast<QFocusEvent*>(event)->reason()))
            m_chosen.remove(watched);
        break;
    case QEvent::Wheel: {
        auto* control = static_cast<QWidget*>(watched);
        if (control->hasFocus() && m_chosen.contains(watched))
            return false;
        // Handed to the page itself rather than left to travel up: the page
        // scrolls whichever way the event came.
        auto* wheel = static_cast<QWheelEvent*>(event);
        QWidget* viewport = m_page->viewport();
        QWheelEvent scroll(viewport->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(),
                           wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(), wheel->modifiers(),
                           wheel->phase(), wheel->inverted(), wheel->source(), wheel->pointingDevice());
        QCoreApplication::sendEvent(viewport, &scroll);
        wheel->accept();
        return true;
    }
    default:
        break;
    }
    return false;
}
