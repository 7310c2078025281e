#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// One public DX cluster node the settings window offers by name.
struct ClusterNode {
    QString id;   // what the setting "clusterNode" stores (lower case)
    QString name; // call or short name, then country and node software in parentheses
    QString host;
    quint16 port = 23;

    // The value of "clusterNode" that selects the address typed in by the user.
    static constexpr QStringView customId = u"custom";

    // The presets in the order the settings window lists them; the first is
    // the default node.
    static const QList<ClusterNode>& known();

    // The preset with this id; the first preset for any other id.
    static const ClusterNode& preset(QStringView id);

    // The name up to its first " (" ("VE7CC-1"); the whole name when it has none.
    QString displayName() const;

    friend bool operator==(const ClusterNode&, const ClusterNode&) = default;
};
