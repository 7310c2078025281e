#pragma once

#include <QObject>

// What the desktop asks of the application as a whole: bring it forward
// once launching has finished, and quit when its last window closes.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // Registers itself: quitting follows the answer below, and
    // applicationDidFinishLaunching() runs once the event loop has started.
    explicit AppDelegate(QObject* parent = nullptr);

    // Raises and activates the first visible window, if any, then schedules
    // the one-time install report.
    void applicationDidFinishLaunching();

    static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }
};
