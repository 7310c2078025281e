#include "cluster/Notifier.h"

#include "kit/EventLoopEnd.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QStringList>
#include <QVariantMap>

#include <functional>

namespace {

// The bus's own questions about names are answered at once or never.
constexpr int busQueryTimeoutMs = 1000;
// The first call to a service the bus starts waits for the start.
constexpr int serviceCallTimeoutMs = 25000;

QDBusMessage busCall(const char* method, const QString& argument = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
    if (!argument.isEmpty())
        call << argument;
    return call;
}

// A call of the notification service's method.
QDBusMessage serviceCall(const char* method)
{
    const QString service = QString::fromLatin1(DesktopNotifier::service);
    return QDBusMessage::createMethodCall(service, QString::fromLatin1(DesktopNotifier::path), service,
                                          QString::fromLatin1(method));
}

// Sends `call` and hands the values of its answer to `then` once it arrives;
// an error answer, a time-out included, goes nowhere.
void whenAnswered(const QDBusConnection& bus, const QDBusMessage& call, int timeoutMs,
                  std::function<void(const QVariantList&)> then)
{
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [then = std::move(then)](QDBusPendingCallWatcher* answered) {
                         answered->deleteLater();
                         const QDBusMessage reply = answered->reply();
                         if (reply.type() == QDBusMessage::ReplyMessage)
                             then(reply.arguments());
                     });
    // An answer that comes as the program ends is for no one.
    EventLoopEnd::cutOff(watcher);
}

} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus)
    : m_bus(std::move(bus))
{
}

bool DesktopNotifier::canNotify() { return m_bus.isConnected(); }

void DesktopNotifier::post(const QString& title, const QString& body)
{
    if (!canNotify())
        return;
    const QString name = QString::fromLatin1(service);

    // The capabilities, then the notification; the first call starts a
    // service that the bus activates.
    const auto notify = [bus = m_bus, title, body] {
        whenAnswered(bus, serviceCall("GetCapabilities"), serviceCallTimeoutMs,
                     [bus, title, body](const QVariantList& capabilities) {
                         const bool markup = !capabilities.isEmpty()
                             && capabilities.front().toStringList().contains(QStringLiteral("body-markup"));
                         QDBusMessage call = serviceCall("Notify");
                         // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout
                         call << QString::fromLatin1(appName) << uint(0) << QString::fromLatin1(iconName) << title
                              << (markup ? body.toHtmlEscaped() : body) << QStringList() << QVariantMap() << int(-1);
                         bus.asyncCall(call, serviceCallTimeoutMs);
                     });
    };
    // Owned now, or one the bus starts on demand.
    whenAnswered(m_bus, busCall("NameHasOwner", name), busQueryTimeoutMs,
                 [bus = m_bus, name, notify](const QVariantList& owned) {
                     if (!owned.isEmpty() && owned.front().toBool()) {
                         notify();
                         return;
                     }
                     whenAnswered(bus, busCall("ListActivatableNames"), busQueryTimeoutMs,
                                  [name, notify](const QVariantList& names) {
                                      if (!names.isEmpty() && names.front().toStringList().contains(name))
                                          notify();
                                  });
                 });
}
