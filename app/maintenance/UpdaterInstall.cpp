// The installing half of the Updater: download, checksum, unpacking, and
// either the replacement script or the hand-install copy in Downloads.
#include "maintenance/Updater.h"

#include "kit/AppLog.h"
#include "maintenance/AppManifest.h"
#include "maintenance/ReplacementScript.h"
#include "maintenance/VersionCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QUuid>

#include <unistd.h>

namespace {

UpdateError notOnWebsite() { return { QStringLiteral("The update address is not on the Corvanta website.") }; }
UpdateError notExpected() { return { QStringLiteral("The download is not the expected Corvanta version.") }; }

// Whether the user may write `path`: access(2), which asks for the real
// user as the shell's `test -w` does.
bool isWritable(const QString& path) { return ::access(QFile::encodeName(path).constData(), W_OK) == 0; }

} // namespace

void Updater::install(const Release& release, std::function<void()> done)
{
    setBusy(true);
    download(release, [this, release, done = std::move(done)](Result<QString> archive) {
        const Result<bool> outcome = archive ? placeArchive(release, *archive) : std::unexpected(archive.error());
        if (!outcome) {
            AppLog::file().write(
                QStringLiteral("Update to %1 failed: %2").arg(release.version, outcome.error().message));
            alert(QStringLiteral("The update didn't work"), outcome.error().message);
        }
        setBusy(false);
        const bool relaunching = outcome && *outcome;
        if (done && !relaunching)
            done();
    });
}

void Updater::download(const Release& release, std::function<void(Result<QString>)> done)
{
    const QUrl url(release.url, QUrl::StrictMode);
    if (!ReleaseFeed::isAllowedArchiveAddress(url, feed()))
        return done(std::unexpected(notOnWebsite()));

    auto file = std::make_shared<QTemporaryFile>(m_platform.tempFolder + QStringLiteral("/corvanta-download-XXXXXX"));
    file->setAutoRemove(false);
    if (!file->open())
        return done(std::unexpected(UpdateError { file->errorString() }));

    QNetworkReply* reply = m_network.get(QNetworkRequest(url));
    // The archive goes to disk as it arrives, never whole into memory.
    auto writeFailure = std::make_shared<QString>();
    connect(reply, &QNetworkReply::readyRead, this, [reply, file, writeFailure] {
        const QByteArray chunk = reply->readAll();
        if (writeFailure->isEmpty() && file->write(chunk) != chunk.size()) {
            *writeFailure = file->errorString();
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, file, writeFailure, release, done] {
        reply->deleteLater();
        const QString path = file->fileName();
        const auto fail = [&](const QString& message) {
            file->remove();
            done(std::unexpected(UpdateError { message }));
        };
        if (!writeFailure->isEmpty())
            return fail(*writeFailure);
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid() && reply->error() != QNetworkReply::NoError)
            return fail(reply->errorString());
        if (status.toInt() != 200)
            return fail(QStringLiteral("The download failed."));
        if (reply->error() != QNetworkReply::NoError)
            return fail(reply->errorString());
        const QByteArray rest = reply->readAll();
        if (file->write(rest) != rest.size() || !file->flush())
            return fail(file->errorString());

        // Hashed straight from the mapped file, not a copy in memory.
        QString checksum;
        if (file->size() == 0) {
            checksum = sha256Hex({});
        } else {
            const uchar* bytes = file->map(0, file->size());
            if (!bytes)
                return fail(file->errorString());
            checksum = sha256Hex(QByteArrayView(bytes, file->size()));
            file->unmap(const_cast<uchar*>(bytes));
        }
        file->close();
        if (checksum != release.sha256.toLower())
            return fail(
                QStringLiteral("The download is damaged (its checksum doesn't match). Please try again later."));

        const QString name
            = QStringLiteral("Corvanta-update-%1.zip").arg(ReleaseFeed::fileNameVersion(release.version));
        const QString target = QDir(m_platform.tempFolder).filePath(name);
        QFile::remove(target);
        if (!file->rename(target))
            return fail(file->errorString());
        done(target);
    });
}

Updater::Result<bool> Updater::placeArchive(const Release& release, const QString& archive)
{
    const QString app = AppManifest::installFolder(m_platform.programDir);
    const QString folder = app.isEmpty() ? m_platform.programDir : QFileInfo(app).absolutePath();
    if (app.isEmpty() || !isWritable(folder) || !isWritable(app)) {
        const Result<void> placed = handInstall(release, archive, folder);
        if (!placed)
            return std::unexpected(placed.error());
        return false;
    }
    const Result<QString> newApp = unpack(archive, release.version, app);
    if (!newApp)
        return std::unexpected(newApp.error());
    const Result<void> started = relaunch(app, *newApp);
    if (!started) {
        QDir(QFileInfo(*newApp).absolutePath()).removeRecursively();
        return std::unexpected(started.error());
    }
    return true;
}

Updater::Result<QString> Updater::unpack(const QString& archive, const QString& version, const QString& appFolder)
{
    // Beside the application folder, so the script's moves stay on one file
    // system and each is a single rename. Removed again unless the update
    // is handed to the script.
    QTemporaryDir dir(QFileInfo(appFolder).absolutePath() + QStringLiteral("/.corvanta-update-XXXXXX"));
    if (!dir.isValid())
        return std::unexpected(UpdateError { dir.errorString() });

    QProcess unzip;
    unzip.setProgram(QStringLiteral("unzip"));
    // -o: an archive naming a file twice must not stop at a question.
    unzip.setArguments({ QStringLiteral("-q"), QStringLiteral("-o"), archive, QStringLiteral("-d"), dir.path() });
    unzip.setStandardInputFile(QProcess::nullDevice());
    unzip.setStandardOutputFile(QProcess::nullDevice());
    unzip.setStandardErrorFile(QProcess::nullDevice());
    unzip.start();
    if (!unzip.waitForStarted(-1))
        return std::unexpected(UpdateError { unzip.errorString() });
    unzip.waitForFinished(-1);
    QFile::remove(archive);
    if (unzip.exitStatus() != QProcess::NormalExit || unzip.exitCode() != 0)
        return std::unexpected(UpdateError { QStringLiteral("The download couldn't be unpacked.") });

    // The archive holds one folder, "Corvanta": this application, at the
    // announced version, with a program to start.
    const QString newApp = dir.path() + QStringLiteral("/Corvanta");
    if (QFileInfo(newApp).isSymLink())
        return std::unexpected(notExpected());
    const std::optional<AppManifest> manifest = AppManifest::read(newApp);
    if (!manifest || manifest->id != AppManifest::appId() || manifest->version != version)
        return std::unexpected(notExpected());
    const QFileInfo program(newApp + QStringLiteral("/bin/corvanta"));
    if (!program.isFile() || !program.isExecutable())
        return std::unexpected(notExpected());
    dir.setAutoRemove(false);
    return newApp;
}

Updater::Result<void> Updater::relaunch(const QString& appFolder, const QString& newFolder)
{
    const QString name
        = QStringLiteral("corvanta-update-%1.sh").arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
    const QString script = QDir(m_platform.tempFolder).filePath(name);
    QSaveFile file(script);
    if (!file.open(QIODevice::WriteOnly) || file.write(ReplacementScript::text().toUtf8()) < 0 || !file.commit())
        return std::unexpected(UpdateError { file.errorString() });

    QProcess shell;
    shell.setProgram(QStringLiteral("/bin/sh"));
    shell.setArguments(ReplacementScript::arguments(script, m_platform.processId, newFolder, appFolder));
    shell.setStandardInputFile(QProcess::nullDevice());
    shell.setStandardOutputFile(QProcess::nullDevice());
    shell.setStandardErrorFile(QProcess::nullDevice());
    if (!shell.startDetached())
        return std::unexpected(UpdateError { shell.errorString() });
    if (m_platform.quit)
        m_platform.quit();
    return {};
}

Updater::Result<void> Updater::handInstall(const Release& release, const QString& archive, const QString& folder)
{
    const QString downloads = m_platform.downloadsFolder;
    QDir().mkpath(downloads);
    const QString name = QStringLiteral("Corvanta-Linux-%1.zip").arg(ReleaseFeed::fileNameVersion(release.version));
    const QString target = QDir(downloads).filePath(name);
    QFile::remove(target);
    QFile file(archive);
    if (!file.rename(target))
        return std::unexpected(UpdateError { file.errorString() });
    if (m_platform.reveal)
        m_platform.reveal(target);
    const QString text = QStringLiteral("Corvanta can't replace itself in %1. The new version is in your Downloads "
                                        "folder: unzip it and replace the Corvanta folder.");
    alert(QStringLiteral("Please install the update yourself"), text.arg(folder));
    return {};
}
