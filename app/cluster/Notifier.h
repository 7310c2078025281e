#pragma once

#include <QDBusConnection>
#include <QString>

// Posts desktop notifications. An interface so that tests can see what
// the cluster client posts without a desktop.
class Notifier {
public:
    virtual ~Notifier() = default;
    // Whether a posted notification can reach the desktop at all.
    virtual bool canNotify() = 0;
    // Posts one notification at once; does nothing when canNotify() is false.
    virtual void post(const QString& title, const QString& body) = 0;
};

// The freedesktop notification service on a D-Bus session bus
// (org.freedesktop.Notifications.Notify): app name "Corvanta", the
// application's icon, no actions, the server's own expiry. The body carries
// what a node sent (calls, spotters), so a server that reads markup in
// bodies ("body-markup" among its capabilities) gets it escaped, and shows
// it as it stands. Both calls are sent without waiting for their answers,
// so a slow or hung notification daemon never holds up the window.
class DesktopNotifier : public Notifier {
public:
    static constexpr const char* service = "org.freedesktop.Notifications";
    static constexpr const char* path = "/org/freedesktop/Notifications";
    static constexpr const char* appName = "Corvanta";
    // The icon name the notification carries: the application's own.
    static constexpr const char* iconName = "corvanta";

    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus());

    // The bus is up and some program owns the notification service.
    bool canNotify() override;
    void post(const QString& title, const QString& body) override;

private:
    QDBusConnection m_bus;
};
