#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;
class QThread;

// A DX cluster node on 127.0.0.1 for tests: greets each connection (a login
// prompt without a line end unless told otherwise), sends what it is given
// to the newest connection, closes connections on demand, and records what
// every connection received. It can also refuse connections, or take none
// and never answer, so that connecting hangs until the client gives up.
//
// It runs on the thread that calls listen(), or on a thread of its own
// (listen(true)) when the client's thread must not do the node's work too.
// Every member may be called from any thread.
class ClusterNodePeer : public QObject {
    Q_OBJECT
public:
    // How the node meets connections from now on; the port stays the same.
    enum class Behaviour {
        answer,      // accepts and greets
        refuse,      // nothing listens: connecting is refused at once
        neverAnswer, // the handshake never completes: connecting hangs
    };

    ClusterNodePeer();
    ~ClusterNodePeer() override;

    // Starts answering on a free port; false when no port could be had.
    bool listen(bool ownThread = false);
    quint16 port() const { return m_port; }
    // "127.0.0.1:PORT", as the user types a custom node.
    QString address() const;

    void setBehaviour(Behaviour behaviour);
    // Sent to each new connection at once; "login: " by default, empty for
    // a node that never asks for the call.
    void setGreeting(const QByteArray& bytes);

    // Sends bytes to the newest open connection.
    void send(const QByteArray& bytes);
    // Closes every open connection from the node's side, after what was sent.
    void closeConnections();

    // Connections accepted so far; they are numbered from 0 in that order.
    int connectionCount() const;
    // What one connection received, byte for byte.
    QByteArray receivedBytes(int connection) const;
    // The same cut into lines at line feeds; a line that did not end in
    // CR LF carries "<no CR>" at its end, and an unfinished last line is
    // left out.
    QStringList receivedLines(int connection) const;

    // "DX de SPOTTER:   14025.0  CALL         comment   0915Z" with two BELs
    // and CR LF, as a node announces a live spot.
    static QByteArray liveSpot(const QString& spotter, double kHz, const QString& call, const QString& comment,
                               const QTime& time);
    // A line of the "sh/dx" listing: frequency, call, date and time, comment,
    // spotter in angle brackets, CR LF.
    static QByteArray historySpot(double kHz, const QString& call, const QDateTime& time, const QString& comment,
                                  const QString& spotter);
    // Option negotiation as nodes open with it: WILL ECHO, WILL SGA, DO
    // TTYPE and a terminal-type sub-negotiation.
    static QByteArray negotiation();

Q_SIGNALS:
    // Emitted on the node's thread.
    void clientConnected(int connection);

private:
    void accept();
    void startAnswering();
    void stopAnswering();
    void startIgnoring();
    void stopIgnoring();
    // Runs a job on the node's thread and waits for it.
    void onNodeThread(const std::function<void()>& job);

    mutable QMutex m_mutex;
    QByteArray m_greeting = "login: ";
    QList<QByteArray> m_received;
    QList<QPointer<QTcpSocket>> m_open;
    Behaviour m_behaviour = Behaviour::answer;

    QObject* m_context = nullptr; // lives on the node's thread
    QTcpServer* m_server = nullptr;
    int m_silentListener = -1; // a listener whose queue is full
    int m_filler = -1;         // the connection that fills it
    std::unique_ptr<QThread> m_thread;
    quint16 m_port = 0;
};
