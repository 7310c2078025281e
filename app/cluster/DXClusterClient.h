#pragma once

#include <QObject>
#include <QString>

// The DX cluster client and spot store. For now a shell that starts nothing.
class DXClusterClient : public QObject {
    Q_OBJECT
public:
    // The connection state shown to the user.
    struct Status {
        enum class Kind { connecting, connected, failed, off, needsCallsign };
        Kind kind = Kind::off;
        QString detail; // the node's name, or the failure message

        static Status connecting(const QString& name) { return { Kind::connecting, name }; }
        static Status connected(const QString& name) { return { Kind::connected, name }; }
        static Status failed(const QString& message) { return { Kind::failed, message }; }
        static Status off() { return { Kind::off, {} }; }
        static Status needsCallsign() { return { Kind::needsCallsign, {} }; }

        // The one-line status.
        QString text() const;

        friend bool operator==(const Status&, const Status&) = default;
    };

    explicit DXClusterClient(QObject* parent = nullptr);

    const Status& status() const { return m_status; }

Q_SIGNALS:
    void statusChanged();

protected:
    // Notifies only when the status differs from the one before.
    void setStatus(const Status& status);

private:
    Status m_status;
};
