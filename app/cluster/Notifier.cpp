#include "cluster/Notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

namespace {

// A notification daemon that does not answer this quickly is taken as absent.
constexpr int ownerQueryTimeoutMs = 1000;

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
    QDBusMessage notify = QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(path),
                                                         QString::fromLatin1(service), QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout
    notify << QString::fromLatin1(appName) << uint(0) << QString::fromLatin1(iconName) << title << body << QStringList()
           << QVariantMap() << int(-1);
    m_bus.asyncCall(notify);
}
