#pragma once

#include <QAbstractSocket>
#include <QString>

// The state of the cluster connection as the user sees it: one line in the
// toolbar's help, the map's cluster badge and the settings window.
struct ClusterStatus {
    enum class Kind { connecting, connected, failed, off, needsCallsign };
    Kind kind = Kind::off;
    QString detail; // the node's name, or the failure message

    static ClusterStatus connecting(const QString& name) { return { Kind::connecting, name }; }
    static ClusterStatus connected(const QString& name) { return { Kind::connected, name }; }
    static ClusterStatus failed(const QString& message) { return { Kind::failed, message }; }
    static ClusterStatus off() { return { Kind::off, {} }; }
    static ClusterStatus needsCallsign() { return { Kind::needsCallsign, {} }; }

    // The one-line status: "Connecting to NAME…", "Connected to NAME", the
    // failure message, "DX cluster is off", or the request for a callsign.
    QString text() const;

    friend bool operator==(const ClusterStatus&, const ClusterStatus&) = default;
};

// The failure messages of a session. Each lost connection is retried after
// a fixed wait, and its message says so.
namespace ClusterMessage {

// The cluster is on, but the custom node has no address.
QString noAddress();

// What went wrong with the connection to `host`, in the words the
// downloads use for the same causes (the network cannot be reached).
QString socketError(QAbstractSocket::SocketError error, const QString& host);
// The connection did not come up within its limit.
QString timedOut();

// The connection never came up: refused, unreachable, host not found, time-out.
QString couldNotReach(const QString& name, const QString& error);
// An error after the connection was up.
QString dropped(const QString& name, const QString& error);
// The node ended the connection.
QString closed(const QString& name);

// The message followed by " · retrying in 30 s".
QString retrying(const QString& message);

} // namespace ClusterMessage
