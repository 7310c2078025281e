#pragma once

#include "cluster/ClusterConfig.h"
#include "cluster/ClusterStatus.h"
#include "cluster/DXCCProgress.h"
#include "cluster/LineSplitter.h"
#include "cluster/Logbook.h"
#include "cluster/SpotAlerts.h"
#include "cluster/SpotBook.h"
#include "cluster/SpotGroup.h"
#include "cluster/SpotLocator.h"
#include "cluster/TelnetFilter.h"
#include "support/AtomicFile.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <expected>
#include <functional>
#include <memory>
#include <optional>

class AlertSound;
class Notifier;
class QTcpSocket;
class Settings;

// Why a logbook import failed, in words for the operator.
struct LogbookError {
    QString message;
};

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
//
// It also keeps the country file and the imported logbook ("cty.dat" and
// "logbook.json" in the support folder), places the spots at the map's
// labels, and raises desktop alerts for watched calls and needed countries;
// a sound that could not be played is not tried again until the sound
// setting changes.
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
        std::chrono::milliseconds alertBatch { 2000 };      // first alert → notification
        std::chrono::milliseconds countryFileTimeout { 30000 };       // without a byte → the download fails
        std::chrono::milliseconds countryFileLimit { 120000 };        // the whole download, however it trickles
        std::chrono::milliseconds countryFileRetry { 3600000 };       // failed, built-in list in use → next try
        std::chrono::milliseconds countryFileStaleRetry { 21600000 }; // failed, a week-old file in use → next try
        std::function<QDateTime()> now = &QDateTime::currentDateTimeUtc;

        // Every wait multiplied by `factor`; the clock is kept.
        Timing scaled(double factor) const;
    };

    // What the client works with besides the settings: its files, the
    // country file's address, the desktop and the map's labels.
    struct Services {
        QString supportFolder;  // "cty.dat" and "logbook.json"; empty: no files
        QString countryFileURL; // empty: never downloaded
        std::shared_ptr<Notifier> notifier;
        std::shared_ptr<AlertSound> sound;
        QList<PrefixEntity> labels; // the map's prefix labels

        // The support folder, the publisher's address, the desktop's
        // notifications and sounds, the map data's labels.
        static Services standard();
    };

    // A cached country file older than this is downloaded again at start.
    static constexpr qint64 countryFileMaxAgeSeconds = 7 * 24 * 3600;
    // A country file larger than this is refused, downloaded or cached: real
    // ones are 44–333 KB, and a huge one would hold the memory for a week.
    static constexpr qint64 maxCountryFileBytes = 4 * 1024 * 1024;

    // The most bytes handled in one go; more waits for the next turn of the
    // event loop, so a burst from the node never holds up the window.
    static constexpr qint64 maxChunk = 16384;
    // The most lines kept for the node log.
    static constexpr qsizetype maxRecentLines = 40;
    // The most bytes the socket reads ahead of the line splitter; beyond
    // them the node waits (TCP holds it back), so a node that pushes faster
    // than the client handles never grows memory.
    static constexpr qint64 maxReadAhead = 256 * 1024;

    // Over the application's settings and services, with the real waits.
    explicit DXClusterClient(QObject* parent = nullptr);
    // Builds the store: the fallback country table from the labels, the
    // cached country file (read and parsed on the thread pool, in use once
    // parsed; downloaded anew in the background when missing, damaged or a
    // week old), the stored logbook; then follows `settings` and applies
    // them at once, which connects when the cluster is on and a callsign and
    // an address are set. Temporary copies of saves cut short by a kill are
    // removed from the support folder first.
    DXClusterClient(Settings& settings, Timing timing, Services services, QObject* parent = nullptr);
    ~DXClusterClient() override;

    const Status& status() const { return m_status; }
    // The current spots, newest first.
    const SpotBook& book() const { return m_book; }
    // The last lines received from the node, oldest first.
    const QStringList& recentLines() const { return m_recentLines; }
    // The connection settings in force; none before they were first applied.
    const std::optional<Config>& config() const { return m_config; }

    // The country database in use: the labels' fallback until a full country
    // file is loaded.
    const CtyDatabase& countries() const { return m_locator.countries(); }
    // The cached file's modification time, or the time of the last download;
    // none while the fallback is in use.
    const std::optional<QDateTime>& countryFileDate() const { return m_countryFileDate; }
    // When the country file is tried again after a failed download: while
    // the built-in list is in use an hour later, while a week-old file is
    // six hours later; none when no try is due.
    const std::optional<QDateTime>& nextCountryFileTry() const { return m_nextCountryFileTry; }
    // The imported logbook with its file's name and the time of the import
    // (for a logbook of an earlier version, as its settings said), and what
    // it says is worked; none without contacts.
    const StoredLogbook& logbook() const { return m_logbook; }
    const QList<LogbookQSO>& qsos() const { return m_logbook.qsos; }
    const std::optional<DXCCProgress>& progress() const { return m_progress; }

    // The country a call is drawn at, looked up once per call.
    std::optional<CtyEntity> entity(const QString& call);
    // The book's spots as the map shows them: placed at labels, grouped by
    // the label's prefix, needed and watched ones marked. Applies no time
    // window: the book holds only spots of the window.
    QHash<StringKey, SpotGroup> activeSpots(const SpotDisplayOptions& options);
    // The book's spots of watched calls, newest first.
    QList<DXSpot> watchedSpots(const CallWatchList& list) const;

    // Downloads the country file and parses it on the thread pool; only a
    // full one (status 200, at most 4 MB, 301 countries or more) replaces
    // the one in use and is written to "cty.dat". Every failure is logged,
    // changes nothing and, while no fresh file is in use, sets the next try.
    // The download gives up after 30 s without a byte or 120 s in all.
    // `ended`, when given, is called once this download is over, whatever
    // came of it.
    void updateCountryFile(std::function<void()> ended = {});
    // Replaces the logbook with the contacts of an ADIF file, its name and
    // the time, works out the progress and stores all three in
    // "logbook.json" in one write. A file that cannot be read or holds no
    // contact changes nothing. When "logbook.json" cannot be written the
    // import stays in use for this run under no name, the stored logbook
    // stays as it was, and the error says why (a full disk, a folder not
    // writable).
    std::expected<int, LogbookError> importADIF(const QString& path);
    // Forgets the logbook: no contacts, no progress, no "logbook.json", no
    // file name and date of an earlier version in the settings.
    void clearLogbook();

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
    // the settings in force (the settings window's reconnect button); without
    // a callsign or an address it shows what is missing instead, as applying
    // the settings does.
    void reconnect();

    // One step of the prune loop: drops the spots older than the spot window,
    // and empties the book while the cluster is off.
    void prune();
    // The start of the spot window: `now` minus "clusterSpotMinutes".
    QDateTime cutoff(const QDateTime& now) const;

    // Handles one chunk of bytes as received from the node: telnet commands
    // out, lines out, each line recorded and, when it is a spot inside the
    // spot window, booked. The socket feeds it; so can a test or benchmark.
    void ingest(QByteArrayView chunk);

Q_SIGNALS:
    void statusChanged();
    void bookChanged();
    void recentLinesChanged();
    // The country database or its date.
    void countriesChanged();
    // nextCountryFileTry() changed.
    void countryFileRetryChanged();
    // The contacts or the progress.
    void logbookChanged();

protected:
    // Notifies, and writes "DX cluster: " and the text to the application
    // log, only when the status differs from the one before.
    void setStatus(const Status& status);

private:
    // Connects with the settings in force, or shows the callsign or the
    // address they lack; the cluster is on.
    void connectWhenComplete();

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

    // Country file and logbook.
    void loadCountriesAndLogbook();
    void loadCountryFile();
    void readStoredLogbook();
    // In use and at most a week old (a date in the future counts as old).
    bool countryFileIsFresh() const;
    void renewCountryFileIfOld();
    void countryFileArrived(const QByteArray& bytes, std::function<void()> ended);
    void countryFileFailed(const QString& message);
    void useCountries(CtyDatabase countries, QDateTime date);
    void recomputeProgress();
    QString supportFile(const QString& name) const;
    // Writes the bytes to a file of the support folder, whole or not at all;
    // without a support folder, nothing is written and nothing fails.
    std::expected<void, SaveError> save(const QString& name, const QByteArray& bytes) const;

    // Alerts.
    void checkAlerts(const DXSpot& spot);
    void queueAlerts(const QList<SpotAlert>& alerts);
    void flushAlerts();
    void pruneAlertMemory(const QDateTime& cutoff) { m_alerts.prune(cutoff); }

    Settings& m_settings;
    Timing m_timing;
    Services m_services;

    Status m_status;
    SpotBook m_book;
    QStringList m_recentLines;
    std::optional<Config> m_config;

    SpotLocator m_locator; // the country database with its two caches
    std::optional<QDateTime> m_countryFileDate;
    quint64 m_countriesSerial = 0; // one more with each database put in use
    std::optional<QDateTime> m_nextCountryFileTry;
    QTimer m_countryFileRetryTimer;
    StoredLogbook m_logbook;
    std::optional<DXCCProgress> m_progress;

    SpotAlerts m_alerts;
    QList<SpotAlert> m_pendingAlerts;
    bool m_soundFailed = false; // not tried again until the sound setting changes
    // The alert settings, read once per chunk of node bytes.
    struct AlertContext {
        SpotDisplayOptions options;
        SpotAlerts::Switches switches;
    };
    std::optional<AlertContext> m_alertContext;

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
    QTimer m_alertTimer;
};
