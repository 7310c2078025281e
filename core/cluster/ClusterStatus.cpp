#include "cluster/ClusterStatus.h"

QString ClusterStatus::text() const
{
    switch (kind) {
    case Kind::connecting:
        return QStringLiteral("Connecting to ") + detail + QChar(0x2026);
    case Kind::connected:
        return QStringLiteral("Connected to ") + detail;
    case Kind::failed:
        return detail;
    case Kind::needsCallsign:
        return QStringLiteral("Enter your callsign in Settings → Station to log in to the cluster");
    case Kind::off:
        break;
    }
    return QStringLiteral("DX cluster is off");
}

namespace ClusterMessage {

QString noAddress() { return QStringLiteral("Enter the cluster address in Settings → Cluster"); }

QString couldNotReach(const QString& name, const QString& error)
{
    return QStringLiteral("Could not reach ") + name + QStringLiteral(": ") + error;
}

QString dropped(const QString& name, const QString& error)
{
    return QStringLiteral("Connection to ") + name + QStringLiteral(" dropped: ") + error;
}

QString closed(const QString& name) { return name + QStringLiteral(" closed the connection"); }

QString retrying(const QString& message) { return message + QStringLiteral(" · retrying in 30 s"); }

} // namespace ClusterMessage
