#include "shell/AppDelegate.h"

#include "shell/FirstStart.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent)
{
    // Help, report and settings windows count as windows too: the
    // application ends only when none of them is open either.
    QGuiApplication::setQuitOnLastWindowClosed(applicationShouldTerminateAfterLastWindowClosed());
    QTimer::singleShot(0, this, &AppDelegate::applicationDidFinishLaunching);
}

void AppDelegate::applicationDidFinishLaunching()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isWindow() && widget->isVisible()) {
            widget->raise();
            widget->activateWindow();
            break;
        }
    }
    // The one-time install report, 20 s later; it stops by itself once the
    // installation has been reported or tried three times.
    auto* report = new FirstStart(this);
    report->schedule();
}
