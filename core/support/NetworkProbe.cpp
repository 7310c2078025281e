#include "support/NetworkProbe.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <algorithm>

namespace NetworkProbe {

bool offline(const QString& host)
{
    if (host == u"localhost" || QHostAddress(host).isLoopback())
        return false;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    return std::ranges::none_of(interfaces, [](const QNetworkInterface& network) {
        const QNetworkInterface::InterfaceFlags flags = network.flags();
        return flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning)
            && !flags.testFlag(QNetworkInterface::IsLoopBack) && !network.addressEntries().isEmpty();
    });
}

} // namespace NetworkProbe
