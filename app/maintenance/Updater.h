#pragma once

#include "maintenance/ReleaseFeed.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <expected>
#include <functional>

class Download;
class QThread;
class QTimer;
namespace ReleaseUnpacker {
struct Outcome;
}

// The self-update, one per application (owned by CorvantaApp), on the main
// thread. It reads the maker's release feed 20 seconds after start() and
// every 12 hours, and when asked from the menu; offers a newer version;
// downloads it with a progress dialog; then, on a thread of its own, checks
// its SHA-256 and either unpacks it beside the installed application folder
// and has a script put it in place once this process has ended, or, when
// the program runs from no installed folder, from one it cannot write or
// from one that holds more than Corvanta (a shared prefix such as
// ~/.local), leaves the archive in the Downloads folder for the user. Every
// failure ends in one log line and, where the user is waiting for an
// answer, one alert; the script's outcome is logged (and a failure shown)
// at the next start.
class Updater : public QObject {
    Q_OBJECT
public:
    using Release = ReleaseFeed::Release;

    // What the updater needs of the world around it. standard() is the
    // running application's; tests give their own folders, a stand-in
    // process, short limits and recorders instead of message boxes.
    struct Platform {
        QString programDir;      // folder of bin/corvanta
        QString program;         // the program that swaps the folders for the replacement script (this one)
        qint64 processId = 0;    // the process the replacement waits for
        QString tempFolder;      // downloads and the replacement script
        QString downloadsFolder; // the hand-install copy
        QString outcomeFile;     // where the replacement script says how it went
        int firstCheckMs = 20 * 1000;
        int repeatMs = 12 * 60 * 60 * 1000;
        int feedIdleMs = 20 * 1000;
        int feedLimitMs = 60 * 1000;
        int downloadIdleMs = 60 * 1000;
        int downloadLimitMs = 30 * 60 * 1000;
        qint64 maxUnpackedBytes = qint64(1) << 30;
        int fileStepLimitMs = 10 * 60 * 1000; // for unpacking, and for copying the user's engine
        int leftoverAgeMs = 5 * 60 * 1000;    // what an interrupted update left goes at start once this old
        // A message with one OK button; `failure` for one that tells what went wrong.
        std::function<void(const QString& title, const QString& text, bool failure)> alert;
        // Shows the offer; true for "Update now".
        std::function<bool(const Release& release, const QString& currentVersion)> offer;
        // Whether a modal window is open; a quiet offer waits until none is.
        std::function<bool()> modalOpen;
        // Shows the download's progress for `release` (UpdateProgressDialog).
        std::function<void(Updater& updater, const Release& release)> showProgress;
        // Shows the file in the desktop's file manager, with an alert up.
        std::function<void(const QString& path)> reveal;
        std::function<void()> quit;

        static Platform standard();
    };

    // The largest release feed read; real ones are a few hundred bytes.
    static constexpr qint64 maxFeedBytes = 1 << 20;

    explicit Updater(QObject* parent = nullptr);
    explicit Updater(Platform platform, QObject* parent = nullptr);
    ~Updater() override;

    // The compiled-in version text; "0" when the build gave none.
    static QString currentVersion();

    bool busy() const { return m_busy; }
    // The feed read now: the "updateFeedURL" override when it is an http
    // address on 127.0.0.1, the maker's feed otherwise.
    QUrl feed() const;

    // Logs (and, after a failure, shows) what the last replacement left in
    // its outcome file, removes in the background what an interrupted update
    // left beside the installed folder (UpdateLeftovers), then arms the
    // periodic check; only the first call in a process does anything.
    void start();
    // Reads the feed and offers a newer version. `userAsked` also reports
    // "up to date" and failures in an alert; otherwise a failure leaves only
    // its log line, and the offer waits until no modal window is open.
    // Does nothing while a check or an installation runs.
    void check(bool userAsked);
    // Downloads, verifies and installs `release` (see the class comment).
    // `done` runs when the installation has ended without restarting the
    // application; it is not called once the replacement has been started
    // and the application asked to quit.
    void install(const Release& release, std::function<void()> done = {});
    // Installs a newer release without asking. `done` receives
    // "check failed: " + the reason, "up to date (<version>)", or, when an
    // installation returned, "update failed".
    void installLatestNow(std::function<void(const QString& status)> done);

public Q_SLOTS:
    // Ends a download under way; the installation ends without an alert.
    void cancelDownload();
    // The program quits, whatever the update is doing: a download under way
    // ends, the file work is asked to stop (a tool under way is killed) and
    // whatever it ends with is dropped, so nothing is put in place, no new
    // version started and nothing shown; the old version stays, and what
    // the work leaves goes at the next start. Busy ends at once, and no
    // check or installation starts after it. The destructor waits for the
    // file work no longer than the transfer thread's close is waited for.
    void stop();

Q_SIGNALS:
    void busyChanged(bool busy);
    // Bytes of the archive received and announced (-1 when not announced).
    void downloadProgress(qint64 received, qint64 total);
    // The download is complete; checking and unpacking follow.
    void unpacking();

private:
    template <typename T>
    using Result = std::expected<T, UpdateError>;

    void setBusy(bool busy);
    void alert(const QString& title, const QString& text, bool failure = true);
    void fetchRelease(std::function<void(Result<Release>)> done);
    void offer(const Release& release);
    void offerWhenNoModal(const Release& release);
    void reportLastReplacement();
    void removeLeftovers();
    bool isAllowedAddress(const QUrl& url) const;

    void download(const Release& release, std::function<void(Result<QString>)> done);
    void placed(const Release& release, const ReleaseUnpacker::Outcome& outcome, const std::function<void()>& done);
    Result<void> relaunch(const Release& release, const QString& appFolder, const QString& newFolder);

    Platform m_platform;
    QTimer* m_timer = nullptr;
    QPointer<Download> m_download;
    QList<QThread*> m_fileWork; // each verifying and unpacking a download, until it ended
    QString m_cancelled; // the reason the user's cancel gave
    QString m_refused;   // a version that cannot be installed in this run
    QString m_offered;   // the version whose offer is open
    bool m_busy = false;
    bool m_started = false;
    bool m_stopped = false;
};
