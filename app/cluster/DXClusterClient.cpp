#include "cluster/DXClusterClient.h"

QString DXClusterClient::Status::text() const
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

DXClusterClient::DXClusterClient(QObject* parent)
    : QObject(parent)
{
}

void DXClusterClient::setStatus(const Status& status)
{
    if (m_status == status)
        return;
    m_status = status;
    Q_EMIT statusChanged();
}
