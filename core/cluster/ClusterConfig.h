#pragma once

#include <QString>
#include <QStringView>

class Settings;

// Where a custom node is reached: "host:port" as the user typed it.
struct ClusterAddress {
    QString host; // empty when nothing usable was typed
    quint16 port = 23;

    friend bool operator==(const ClusterAddress&, const ClusterAddress&) = default;
};

// The cluster connection the settings ask for. Two configurations are equal
// when all six fields are; the client reconnects only when they differ.
struct ClusterConfig {
    bool enabled = false;
    QString host; // empty when no address is known
    quint16 port = 23;
    QString name;          // the node's name in every status text and message
    QString callsign;      // trimmed of blanks and tabs, upper case; may be empty
    QString extraCommands; // the login commands as typed, unsplit

    // Reads "clusterEnabled", "clusterNode", "clusterCustomAddress",
    // "callsign" and "clusterCommands". An unknown node id means the first
    // preset; "custom" means the typed address, named by its host.
    static ClusterConfig read(const Settings& settings);

    // "host", "host:port", "host port", with or without "telnet://" in front
    // and one "/" behind. A port that is no number from 0 to 65535, or none,
    // gives 23; pieces after the port are ignored.
    static ClusterAddress parseAddress(QStringView text);

    friend bool operator==(const ClusterConfig&, const ClusterConfig&) = default;
};
