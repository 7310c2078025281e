#pragma once

#include <QDBusConnection>
#include <QString>

// Posts desktop notifications. An interface so that tests can see what
// the cluster client posts without a desktop.
class Notifier {
public:
    virtual ~Notifier() = default;
    // Whether posting is worth trying at all.
    virtual bool canNotify() = 0;
    // Posts one notification; does nothing when canNotify() is false. Never
    // waits for the desktop.
    virtual void post(const QString& title, const QString& body) = 0;
};

// The freedesktop notification service on a D-Bus session bus
// (org.freedesktop.Notifications.Notify): app name "Corvanta", the
// application's icon, no actions, the server's own expiry.
//
// A desktop may leave the service to the bus, which starts it when a call
// first asks for it, so a service that nobody owns yet counts when the bus
// can start it. Every step is a call sent without waiting for its answer:
// whether the service is there, its capabilities, the notification itself;
// a slow or hung bus or daemon never holds up the window, and an error
// answer at any step means the desktop cannot be notified this time (the
// sound plays all the same).
//
// The body carries what a node sent (calls, spotters), so a server that
// reads markup in bodies ("body-markup" among its capabilities) gets it
// escaped, and shows it as it stands.
class DesktopNotifier : public Notifier {
public:
    static constexpr const char* service = "org.freedesktop.Notifications";
    static constexpr const char* path = "/org/freedesktop/Notifications";
    static constexpr const char* appName = "Corvanta";
    // The icon name the notification carries: the application's own.
    static constexpr const char* iconName = "corvanta";

    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus());

    // The session bus is up; whether a notification service answers there
    // is found out by post() without waiting.
    bool canNotify() override;
    void post(const QString& title, const QString& body) override;

private:
    QDBusConnection m_bus;
};
