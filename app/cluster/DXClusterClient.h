#pragma once

#include "cluster/ClusterConfig.h"
#include "cluster/ClusterStatus.h"
#include "cluster/LineSplitter.h"
#include "cluster/SpotBook.h"
#include "cluster/TelnetFilter.h"

#include <QAbstractSocket>
#include <QByteArrayView>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

class QTcpSocket;
class Settings;

// The DX cluster client and spot store, one per application (owned by
// CorvantaApp), on the main thread.
//
// It follows the cluster settings (0.8 s after the last change of any key,
// reconnecting only when the connection settings changed), keeps one telnet
// session to the chosen node — logs in with the callsign, sends the login
// commands and asks for the recent spots — and turns what the node sends
// into lines and spots: the last 40 lines for the node log, the spots inside
// the spot window into the book. A lost connection is retried 30 s later for
// as long as the cluster is on. Every 30 s the book drops spots that have
// grown older than the spot window.
//
// Each connection gets a fresh socket, telnet filter and line splitter, and a
// generation number: whatever an old socket or one of its timers still
// delivers after the connection was dropped is ignored.
class DXClusterClient : public QObject {
    Q_OBJECT
public:
    using Status = ClusterStatus;
    using Config = ClusterConfig;

    // The client's waits and its clock. Tests run them faster.
    struct Timing {
        std::chrono::milliseconds connectTimeout { 20000 }; // until the connection is up
        std::chrono::milliseconds login { 4000 };           // up → callsign, when the node never asks
        std::chrono::milliseconds commands { 3000 };        // callsign → login commands and "sh/dx 50"
        std::chrono::milliseconds reconnect { 30000 };      // lost → next attempt
        std::chrono::milliseconds settingsDebounce { 800 }; // last settings change → apply
        std::chrono::milliseconds prune { 30000 };          // between prune steps
        std::function<QDateTime()> now = &QDateTime::currentDateTimeUtc;

        // Every wait multiplied by `factor`; the clock is kept.
        Timing scaled(double factor) const;
    };

    // The most bytes handled in one go; more waits for the next turn of the
    // event loop, so a burst from the node never holds up the window.
    static constexpr qint64 maxChunk = 16384;
    // The most lines kept for the node log.
    static constexpr qsizetype maxRecentLines = 40;

    // Over the application's settings, with the real waits.
    explicit DXClusterClient(QObject* parent = nullptr);
    // Builds the store, follows `settings` and applies them at once, which
    // connects when the cluster is on and a callsign and an address are set.
    DXClusterClient(Settings& settings, Timing timing, QObject* parent = nullptr);
    ~DXClusterClient() override;

    const Status& status() const { return m_status; }
    // The current spots, newest first.
    const SpotBook& book() const { return m_book; }
    // The last lines received from the node, oldest first.
    const QStringList& recentLines() const { return m_recentLines; }
    // The connection settings in force; none before they were first applied.
    const std::optional<Config>& config() const { return m_config; }

    // Rereads the connection settings; when they differ from those in force,
    // drops the connection and, as they allow, connects again.
    void applySettings();
    // (Re)starts the wait that ends in applySettings().
    void scheduleApply();

    // Opens a connection with the settings in force (nothing without any).
    void connectToNode();
    // Stops the session's timers, a pending reconnect included, and drops the
    // connection. The status is left as it is.
    void disconnectFromNode();
    // Drops the connection and, when the cluster is on, opens a new one with
    // the settings in force (the settings window's reconnect button).
    void reconnect();

    // One step of the prune loop: drops the spots older than the spot window,
    // and empties the book while the cluster is off.
    void prune();
    // The start of the spot window: now minus "clusterSpotMinutes".
    QDateTime cutoff() const;

    // Handles one chunk of bytes as received from the node: telnet commands
    // out, lines out, each line recorded and, when it is a spot inside the
    // spot window, booked. The socket feeds it; so can a test or benchmark.
    void ingest(QByteArrayView chunk);

Q_SIGNALS:
    void statusChanged();
    void bookChanged();
    void recentLinesChanged();

protected:
    // Notifies, and writes "DX cluster: " and the text to the application
    // log, only when the status differs from the one before.
    void setStatus(const Status& status);

private:
    // The session.
    void startSession();
    void linkUp(quint64 generation);
    void linkError(quint64 generation, QAbstractSocket::SocketError error);
    void scheduleRead(quint64 generation);
    void readSlice(quint64 generation);
    // True when the line was a spot inside the window and went to the book.
    bool handleLine(const QString& line, const QDateTime& received, const QDateTime& windowStart);
    void login();
    void sendLoginCommands();
    void send(QStringView line);
    void lost(QString message);

    // Where the country table, spot placement, the logbook and alerts join
    // the store: at construction (the fallback country table and placer
    // from the map's labels, the cached country file, the stored logbook),
    // for each booked spot (alerts) and at each prune step (alert memory).
    void loadCountriesAndLogbook() { }
    void checkAlerts(const DXSpot&) { }
    void pruneAlertMemory(const QDateTime&) { }

    Settings& m_settings;
    Timing m_timing;

    Status m_status;
    SpotBook m_book;
    QStringList m_recentLines;
    std::optional<Config> m_config;

    // One connection: its socket, its number, and what it has got so far.
    QTcpSocket* m_socket = nullptr;
    quint64 m_generation = 0;
    bool m_linkUp = false;
    bool m_loggedIn = false;
    bool m_readScheduled = false;
    std::optional<QString> m_pendingLoss; // the loss to report once the buffered bytes are handled
    TelnetFilter m_telnet;
    LineSplitter m_lines;
    QStringList m_loginCommands; // captured at login, for that connection only

    QTimer m_connectTimer;
    QTimer m_loginTimer;
    QTimer m_commandsTimer;
    QTimer m_reconnectTimer;
    QTimer m_applyTimer;
    QTimer m_pruneTimer;
};
