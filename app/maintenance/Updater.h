#pragma once

#include "maintenance/ReleaseFeed.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

#include <expected>
#include <functional>

class QTimer;

// The self-update, one per application (owned by CorvantaApp), on the main
// thread. It reads the maker's release feed 20 seconds after start() and
// every 12 hours, and when asked from the menu; offers a newer version;
// downloads it, checks its SHA-256 and then either unpacks it beside the
// installed application folder and has a script put it in place once this
// process has ended, or, when the program runs from no installed folder or
// from one it cannot write, leaves the archive in the Downloads folder for
// the user. Every failure ends in one log line and, where the user is
// waiting for an answer, one alert.
class Updater : public QObject {
    Q_OBJECT
public:
    using Release = ReleaseFeed::Release;

    // What the updater needs of the world around it. standard() is the
    // running application's; tests give their own folders, a stand-in
    // process and recorders instead of message boxes.
    struct Platform {
        QString programDir;      // folder of bin/corvanta
        qint64 processId = 0;    // the process the replacement waits for
        QString tempFolder;      // downloads and the replacement script
        QString downloadsFolder; // the hand-install copy
        int firstCheckMs = 20 * 1000;
        int repeatMs = 12 * 60 * 60 * 1000;
        std::function<void(const QString& title, const QString& text)> alert;
        // Shows the offer; true for "Update now".
        std::function<bool(const Release& release, const QString& currentVersion)> offer;
        std::function<void(const QString& path)> reveal;
        std::function<void()> quit;

        static Platform standard();
    };

    explicit Updater(QObject* parent = nullptr);
    explicit Updater(Platform platform, QObject* parent = nullptr);
    ~Updater() override;

    // The compiled-in version text; "0" when the build gave none.
    static QString currentVersion();

    bool busy() const { return m_busy; }
    // The feed read now: the "updateFeedURL" override when it is an http
    // address on 127.0.0.1, the maker's feed otherwise.
    QUrl feed() const;

    // Arms the periodic check; only the first call in a process does anything.
    void start();
    // Reads the feed and offers a newer version. `userAsked` also reports
    // "up to date" and failures in an alert; otherwise a failure leaves only
    // its log line. Does nothing while a check or an installation runs.
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

Q_SIGNALS:
    void busyChanged(bool busy);

private:
    template <typename T>
    using Result = std::expected<T, UpdateError>;

    void setBusy(bool busy);
    void alert(const QString& title, const QString& text);
    void fetchRelease(std::function<void(Result<Release>)> done);
    void offer(const Release& release);

    void download(const Release& release, std::function<void(Result<QString>)> done);
    // True when the replacement was started and the application asked to quit.
    Result<bool> placeArchive(const Release& release, const QString& archive);
    Result<QString> unpack(const QString& archive, const QString& version, const QString& appFolder);
    Result<void> relaunch(const QString& appFolder, const QString& newFolder);
    Result<void> handInstall(const Release& release, const QString& archive, const QString& folder);

    Platform m_platform;
    QNetworkAccessManager m_network;
    QTimer* m_timer = nullptr;
    bool m_busy = false;
    bool m_started = false;
};
