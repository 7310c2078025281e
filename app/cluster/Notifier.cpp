#include "cluster/Notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {

// A notification daemon that does not answer this quickly is taken as absent.
constexpr int ownerQueryTimeoutMs = 1000;

// A call of the notification service's method.
QDBusMessage serviceCall(const char* method)
{
    const QString service = QString::fromLatin1(DesktopNotifier::service);
    return QDBusMessage::createMethodCall(service, QString::fromLatin1(DesktopNotifier::path), service,
                                          QString::fromLatin1(method));
}

} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus)
    : m_bus(std::move(bus))
{
}

bool DesktopNotifier::canNotify()
{
    if (!m_bus.isConnected())
        return false;
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("/org/freedesktop/DBus"),
                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << QString::fromLatin1(service);
    const QDBusMessage answer = m_bus.call(ask, QDBus::Block, ownerQueryTimeoutMs);
    return answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty()
        && answer.arguments().front().toBool();
}

void DesktopNotifier::post(const QString& title, const QString& body)
{
    if (!canNotify())
        return;
    auto* answer = new QDBusPendingCallWatcher(m_bus.asyncCall(serviceCall("GetCapabilities"), ownerQueryTimeoutMs));
    QObject::connect(answer, &QDBusPendingCallWatcher::finished,
                     [bus = m_bus, title, body](QDBusPendingCallWatcher* watcher) mutable {
                         watcher->deleteLater();
                         // No answer counts as no markup.
                         const QDBusPendingReply<QStringList> capabilities = *watcher;
                         const bool markup
                             = !capabilities.isError() && capabilities.value().contains(QStringLiteral("body-markup"));
                         QDBusMessage notify = serviceCall("Notify");
                         // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout
                         notify << QString::fromLatin1(appName) << uint(0) << QString::fromLatin1(iconName) << title
                                << (markup ? body.toHtmlEscaped() : body) << QStringList() << QVariantMap() << int(-1);
                         bus.asyncCall(notify);
                     });
}
