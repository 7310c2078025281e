#include "maintenance/Updater.h"

#include "kit/AppLog.h"
#include "kit/FileManager.h"
#include "maintenance/AppManifest.h"
#include "maintenance/ReplacementScript.h"
#include "maintenance/UpdateDialogs.h"
#include "maintenance/UpdateLeftovers.h"
#include "maintenance/UpdateProgressDialog.h"
#include "maintenance/VersionCheck.h"
#include "support/Download.h"
#include "support/DownloadFailure.h"
#include "support/PoolJob.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/TransferThread.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWindow>

using namespace std::chrono_literals;

Updater::Platform Updater::Platform::standard()
{
    Platform platform;
    platform.programDir = QCoreApplication::applicationDirPath();
    platform.program = QCoreApplication::applicationFilePath();
    platform.processId = QCoreApplication::applicationPid();
    platform.tempFolder = QDir::tempPath();
    platform.downloadsFolder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (platform.downloadsFolder.isEmpty())
        platform.downloadsFolder = QDir::homePath();
    platform.outcomeFile = AppLog::folder() + QStringLiteral("/update-outcome.txt");
    platform.alert = [](const QString& title, const QString& text, bool failure) {
        UpdateDialogs::run(UpdateDialogs::alert(title, text, failure));
    };
    platform.offer = [](const Release& release, const QString& current) {
        return UpdateDialogs::run(UpdateDialogs::offer(release, current));
    };
    platform.modalOpen = [] { return QApplication::activeModalWidget() || QGuiApplication::modalWindow(); };
    platform.showProgress = [](Updater& updater, const Release& release) {
        (new UpdateProgressDialog(updater, release, QApplication::activeWindow()))->show();
    };
    // Where none can show it, the alert that names the path says so.
    platform.reveal = [](const QString& path) {
        FileManager::reveal(path, [] {
            UpdateDialogs::addToOpenAlert(QStringLiteral("No file manager could be started to show it."));
        });
    };
    platform.quit = [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); };
    return platform;
}

Updater::Updater(QObject* parent)
    : Updater(Platform::standard(), parent)
{
}

Updater::Updater(Platform platform, QObject* parent)
    : QObject(parent)
    , m_platform(std::move(platform))
{
}

Updater::~Updater()
{
    // Downloads still under way end here: none may call back into a
    // half-destroyed updater.
    qDeleteAll(findChildren<Download*>(Qt::FindDirectChildrenOnly));
    // The file work stops at its tool under way, which is killed, and
    // reports to no one; what it leaves goes at the next start. A thread
    // that a disk which no longer answers holds past the bound is left to
    // the process's exit, as the transfer thread is.
    for (QThread* thread : std::as_const(m_fileWork))
        thread->requestInterruption();
    const QDeadlineTimer deadline(TransferThread::closeWithin);
    for (QThread* thread : std::as_const(m_fileWork)) {
        if (thread->wait(deadline))
            delete thread;
    }
}

QString Updater::currentVersion() { return currentAppVersion(); }

QUrl Updater::feed() const { return ReleaseFeed::effectiveFeed(Settings::standard().get(SettingKeys::updateFeedURL)); }

bool Updater::isAllowedAddress(const QUrl& url) const { return ReleaseFeed::isAllowedArchiveAddress(url, feed()); }

void Updater::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    Q_EMIT busyChanged(busy);
}

void Updater::alert(const QString& title, const QString& text, bool failure)
{
    if (m_platform.alert)
        m_platform.alert(title, text, failure);
}

void Updater::start()
{
    if (m_started)
        return;
    m_started = true;
    reportLastReplacement();
    removeLeftovers();
    QTimer::singleShot(m_platform.firstCheckMs, this, [this] { check(false); });
    m_timer = new QTimer(this);
    m_timer->setInterval(m_platform.repeatMs);
    connect(m_timer, &QTimer::timeout, this, [this] { check(false); });
    m_timer->start();
}

void Updater::reportLastReplacement()
{
    if (m_platform.outcomeFile.isEmpty())
        return;
    const std::optional<ReplacementScript::Outcome> outcome = ReplacementScript::takeOutcome(m_platform.outcomeFile);
    if (!outcome)
        return;
    AppLog::file().write(outcome->detail.isEmpty() ? outcome->text
                                                   : outcome->text + QStringLiteral(" Detail: ") + outcome->detail);
    // After the window it belongs to has come up.
    if (!outcome->updated)
        QTimer::singleShot(0, this,
                           [this, text = outcome->text] { alert(QStringLiteral("The update didn't work"), text); });
}

void Updater::removeLeftovers()
{
    const std::chrono::milliseconds age(m_platform.leftoverAgeMs);
    // The job also reads the manifest that tells whether the program runs
    // from an installed folder: no file work on the main thread at start.
    PoolJob::run(
        this,
        [programDir = m_platform.programDir, temp = m_platform.tempFolder, age] {
            const QString app = AppManifest::installFolder(programDir);
            UpdateLeftovers::Cleanup cleanup
                = app.isEmpty() ? UpdateLeftovers::Cleanup() : UpdateLeftovers::remove(app, age);
            cleanup.removed += UpdateLeftovers::removeTemporaries(temp, age);
            return cleanup;
        },
        [](const UpdateLeftovers::Cleanup& cleanup) {
            if (!cleanup.removed.isEmpty())
                AppLog::file().write(QStringLiteral("Removed what an interrupted update left: ")
                                     + cleanup.removed.join(QStringLiteral(", ")));
            if (!cleanup.kept.isEmpty())
                AppLog::file().write(QStringLiteral("Kept what an interrupted update left, since it holds a P.533 "
                                                    "engine that the installed Corvanta lacks: ")
                                     + cleanup.kept.join(QStringLiteral(", ")));
        });
}

void Updater::fetchRelease(std::function<void(Result<Release>)> done)
{
    const Download::Limits limits { std::chrono::milliseconds(m_platform.feedIdleMs),
                                    std::chrono::milliseconds(m_platform.feedLimitMs), maxFeedBytes,
                                    [this](const QUrl& url) { return isAllowedAddress(url); } };
    auto* download = new Download({ feed() }, limits, this);
    download->get([done = std::move(done)](const Download::Outcome& outcome) {
        const std::optional<QString> failure = DownloadFailure::of(
            outcome,
            { .accepted = [](int status) { return status == 200; },
              .status = [](int status) { return QStringLiteral("The update server answered HTTP %1.").arg(status); },
              .refusedHop = QStringLiteral(
                  "The update server sent the request to an address that is not on the Corvanta website.") });
        if (failure)
            return done(std::unexpected(UpdateError { *failure, DownloadFailure::logged(*failure, outcome) }));
        done(ReleaseFeed::decode(outcome.body));
    });
}

void Updater::check(bool userAsked)
{
    if (m_busy || m_stopped)
        return;
    setBusy(true);
    fetchRelease([this, userAsked](Result<Release> release) {
        if (!release) {
            const UpdateError& error = release.error();
            AppLog::file().write(QStringLiteral("Update check failed: ")
                                 + (error.logged.isEmpty() ? error.message : error.logged));
            if (userAsked)
                alert(QStringLiteral("Couldn't check for updates"), release.error().message);
        } else if (isNewerVersion(release->version, currentVersion())) {
            // A release that could not be installed in this run is not
            // offered again by itself; the user may still ask for it.
            if (userAsked)
                offer(*release);
            else if (release->version != m_refused)
                return offerWhenNoModal(*release);
        } else if (userAsked) {
            const QString text = QStringLiteral("You have version %1, the latest.").arg(currentVersion());
            alert(QStringLiteral("Corvanta is up to date"), text, false);
        }
        setBusy(false);
    });
}

void Updater::offerWhenNoModal(const Release& release)
{
    // Not over a file dialog or a question the user is answering: the
    // check stays under way until they are done.
    if (m_platform.modalOpen && m_platform.modalOpen()) {
        QTimer::singleShot(500ms, this, [this, release] { offerWhenNoModal(release); });
        return;
    }
    offer(release);
    setBusy(false);
}

void Updater::offer(const Release& release)
{
    m_offered = release.version;
    const bool chosen = m_platform.offer && m_platform.offer(release, currentVersion());
    m_offered.clear();
    if (!chosen)
        return;
    // The installation runs after this check has ended.
    QTimer::singleShot(0, this, [this, release] { install(release); });
}

void Updater::installLatestNow(std::function<void(const QString& status)> done)
{
    fetchRelease([this, done = std::move(done)](Result<Release> release) {
        if (!release)
            return done(QStringLiteral("check failed: ") + release.error().message);
        if (!isNewerVersion(release->version, currentVersion()))
            return done(QStringLiteral("up to date (%1)").arg(currentVersion()));
        install(*release, [done] { done(QStringLiteral("update failed")); });
    });
}
