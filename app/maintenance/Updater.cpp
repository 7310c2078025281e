#include "maintenance/Updater.h"

#include "kit/AppLog.h"
#include "kit/FileManager.h"
#include "maintenance/UpdateDialogs.h"
#include "maintenance/VersionCheck.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QApplication>
#include <QDir>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QTimer>

Updater::Platform Updater::Platform::standard()
{
    Platform platform;
    platform.programDir = QCoreApplication::applicationDirPath();
    platform.processId = QCoreApplication::applicationPid();
    platform.tempFolder = QDir::tempPath();
    platform.downloadsFolder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (platform.downloadsFolder.isEmpty())
        platform.downloadsFolder = QDir::homePath();
    platform.alert
        = [](const QString& title, const QString& text) { UpdateDialogs::run(UpdateDialogs::alert(title, text)); };
    platform.offer = [](const Release& release, const QString& current) {
        return UpdateDialogs::run(UpdateDialogs::offer(release, current));
    };
    platform.reveal = [](const QString& path) { FileManager::reveal(path); };
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
    // Replies still under way die with the network manager; none may call
    // back into a half-destroyed updater.
    for (QNetworkReply* reply : m_network.findChildren<QNetworkReply*>())
        reply->disconnect(this);
}

QString Updater::currentVersion() { return currentAppVersion(); }

QUrl Updater::feed() const { return ReleaseFeed::effectiveFeed(Settings::standard().get(SettingKeys::updateFeedURL)); }

void Updater::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    Q_EMIT busyChanged(busy);
}

void Updater::alert(const QString& title, const QString& text)
{
    if (m_platform.alert)
        m_platform.alert(title, text);
}

void Updater::start()
{
    if (m_started)
        return;
    m_started = true;
    QTimer::singleShot(m_platform.firstCheckMs, this, [this] { check(false); });
    m_timer = new QTimer(this);
    m_timer->setInterval(m_platform.repeatMs);
    connect(m_timer, &QTimer::timeout, this, [this] { check(false); });
    m_timer->start();
}

void Updater::fetchRelease(std::function<void(Result<Release>)> done)
{
    QNetworkRequest request(feed());
    request.setTransferTimeout(20 * 1000);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    QNetworkReply* reply = m_network.get(request);
    connect(reply, &QNetworkReply::finished, this, [reply, done = std::move(done)] {
        reply->deleteLater();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid() && reply->error() != QNetworkReply::NoError)
            return done(std::unexpected(UpdateError { reply->errorString() }));
        if (status.toInt() != 200)
            return done(std::unexpected(UpdateError { QStringLiteral("The update server didn't answer.") }));
        if (reply->error() != QNetworkReply::NoError)
            return done(std::unexpected(UpdateError { reply->errorString() }));
        done(ReleaseFeed::decode(reply->readAll()));
    });
}

void Updater::check(bool userAsked)
{
    if (m_busy)
        return;
    setBusy(true);
    fetchRelease([this, userAsked](Result<Release> release) {
        if (!release) {
            AppLog::file().write(QStringLiteral("Update check failed: ") + release.error().message);
            if (userAsked)
                alert(QStringLiteral("Couldn't check for updates"), release.error().message);
        } else if (isNewerVersion(release->version, currentVersion())) {
            offer(*release);
        } else if (userAsked) {
            const QString text = QStringLiteral("You have version %1, the latest.").arg(currentVersion());
            alert(QStringLiteral("Corvanta is up to date"), text);
        }
        setBusy(false);
    });
}

void Updater::offer(const Release& release)
{
    if (!m_platform.offer || !m_platform.offer(release, currentVersion()))
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
