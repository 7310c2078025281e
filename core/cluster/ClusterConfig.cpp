#include "cluster/ClusterConfig.h"

#include "cluster/ClusterNode.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/TextTrim.h"

#include <QStringList>

#include <optional>

namespace {

// Decimal digits only, 0 to 65535.
std::optional<quint16> portNumber(QStringView text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    int value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value > 65535)
        return std::nullopt;
    return quint16(value);
}

} // namespace

ClusterAddress ClusterConfig::parseAddress(QStringView text)
{
    text = text.trimmed();
    if (const qsizetype scheme = text.indexOf(u"://"); scheme >= 0)
        text = text.sliced(scheme + 3);
    if (text.endsWith(u'/'))
        text.chop(1);

    QList<QStringView> pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u':' && text[i] != u' ')
            continue;
        if (i > start)
            pieces.append(text.sliced(start, i - start));
        start = i + 1;
    }

    ClusterAddress address;
    if (pieces.isEmpty())
        return address;
    address.host = pieces[0].toString();
    if (pieces.size() > 1)
        address.port = portNumber(pieces[1]).value_or(23);
    return address;
}

ClusterConfig ClusterConfig::read(const Settings& settings)
{
    ClusterConfig config;
    config.enabled = settings.get(SettingKeys::clusterEnabled);
    const QString nodeId = settings.get(SettingKeys::clusterNode);
    if (nodeId == ClusterNode::customId) {
        const ClusterAddress address = parseAddress(settings.get(SettingKeys::clusterCustomAddress));
        config.host = address.host;
        config.port = address.port;
        config.name = address.host;
    } else {
        const ClusterNode& node = ClusterNode::preset(nodeId);
        config.host = node.host;
        config.port = node.port;
        config.name = node.displayName();
    }
    config.callsign = trimSpacesAndTabs(settings.get(SettingKeys::callsign)).toString().toUpper();
    config.extraCommands = settings.get(SettingKeys::clusterCommands);
    return config;
}
