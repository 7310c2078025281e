#include "cluster/ClusterNode.h"

const QList<ClusterNode>& ClusterNode::known()
{
    static const QList<ClusterNode> nodes {
        { QStringLiteral("ve7cc"), QStringLiteral("VE7CC-1 (Canada, CC Cluster)"), QStringLiteral("dxc.ve7cc.net"), 23 },
            { QStringLiteral("db0sue"), QStringLiteral("DB0SUE-7 (Germany, DXSpider)"), QStringLiteral("db0sue.de"), 8000 },
                { QStringLiteral("gb7mbc"), QStringLiteral("GB7MBC (England, DXSpider)"), QStringLiteral("gb7mbc.spud.club"), 8000 },
                    { QStringLiteral("w3lpl"), QStringLiteral("W3LPL (USA, AR-Cluster)"), QStringLiteral("w3lpl.net"), 7373 },
                        { QStringLiteral("nc7j"), QStringLiteral("NC7J (USA, AR-Cluster)"), QStringLiteral("dxc.nc7j.com"), 7373 },
                            { QStringLiteral("k0wl"),
                                             QStringLiteral("K0WL (USA, AR-Cluster)"),
                                                            QStringLiteral("k0wl.ddns.net"), 7373 },
                                             { QStringLiteral("wa9pie"),
                                                              QStringLiteral("WA9PIE-2 (USA, DXSpider)"),
                                                                             QStringLiteral("dxc.wa9pie.net"), 8000 },
                                             };
    return nodes;
}

const ClusterNode& ClusterNode::preset(QStringView id)
{
    for (const ClusterNode& node : known())
        if (node.id == id)
            return node;
    return known().front();
}

QString ClusterNode::displayName() const
{
    const qsizetype bracket = name.indexOf(u" (");
    return bracket < 0 ? name : name.first(bracket);
}
