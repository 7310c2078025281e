#include "cluster/ClusterStatus.h"

#include "support/DownloadWords.h"
#include "support/NetworkProbe.h"

#include <QHostAddress>

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

QString socketError(QAbstractSocket::SocketError error, const QString& host)
{
    using Socket = QAbstractSocket;
    switch (error) {
    case Socket::ConnectionRefusedError:
        return QStringLiteral("The node refused the connection.");
    case Socket::RemoteHostClosedError:
        return QStringLiteral("The node closed the connection.");
    case Socket::HostNotFoundError:
        return NetworkProbe::offline(host) ? DownloadWords::cannotReach()
                                            : QStringLiteral("The address of %1 was not found.").arg(host);
    case Socket::SocketTimeoutError:
        return timedOut();
    case Socket::NetworkError: // the network, or the way to the host; on this machine only the former
        return NetworkProbe::offline(host) || QHostAddress(host).isLoopback()
            ? DownloadWords::cannotReach()
            : QStringLiteral("%1 cannot be reached.").arg(host);
    default:
        return QStringLiteral("The connection failed.");
    }
}

QString timedOut() { return QStringLiteral("No answer came in time."); }

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
