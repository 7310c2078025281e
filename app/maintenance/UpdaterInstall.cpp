// The installing half of the Updater: the download, then the job on a thread
// of its own that verifies and unpacks it (ReleaseUnpacker), then either the
// replacement script or the hand-install copy in Downloads.
#include "maintenance/Updater.h"

#include "kit/AppLog.h"
#include "maintenance/ReleaseUnpacker.h"
#include "maintenance/ReplacementScript.h"
#include "maintenance/UpdateLeftovers.h"
#include "support/Download.h"
#include "support/DownloadFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <cerrno>
#include <memory>

namespace {

// Why the update waits in the Downloads folder and what to do with it there,
// each path on a line of its own.
QString handInstallText(const ReleaseUnpacker::Outcome& outcome)
{
    using Place = ReleaseUnpacker::Outcome::Place;
    QString why, todo;
    switch (outcome.place) {
    case Place::notInstalled:
        why = QStringLiteral("which is not an installed Corvanta folder");
        todo = QStringLiteral("Unzip it and start the new version from the folder it unpacks to.");
        break;
    case Place::notWritable:
        why = QStringLiteral("which you are not allowed to change");
        todo = QStringLiteral("Unzip it and, as a user who may change that folder, replace the Corvanta "
                              "folder with it.");
        break;
    case Place::shared:
        why = QStringLiteral("which holds other programs' files too");
        todo = QStringLiteral("Unzip it and install it the way you installed this version.");
        break;
    case Place::unreadable:
        why = QStringLiteral("whose list of Corvanta's files can't be read");
        todo = QStringLiteral("Unzip it and replace the Corvanta folder with it.");
        break;
    }
    const QString text = QStringLiteral("Corvanta can't replace itself in this folder, %1:\n%2\n\n"
                                        "The new version is in your Downloads folder:\n%3\n\n%4");
    return text.arg(why, outcome.folder, outcome.archive, todo);
}

UpdateError notOnWebsite() { return { QStringLiteral("The update address is not on the Corvanta website.") }; }

UpdateError notWritten(const QString& folder, int error)
{
    const FileWords::Said said = ReleaseUnpacker::notWritten(folder, error);
    return { said.text, said.logged };
}

} // namespace

void Updater::install(const Release& release, std::function<void()> done)
{
    if (m_stopped)
        return;
    setBusy(true);
    m_cancelled.clear();
    if (m_platform.showProgress)
        m_platform.showProgress(*this, release);
    download(release, [this, release, done = std::move(done)](Result<QString> file) {
        if (!file) {
            ReleaseUnpacker::Outcome outcome;
            outcome.message = file.error().message;
            outcome.logText = file.error().logged;
            return placed(release, outcome, done);
        }
        if (m_stopped) // came in whole as the program quits
            return (void)QFile::remove(*file);
        Q_EMIT unpacking();
        ReleaseUnpacker::Job job { *file,
                                   release,
                                   m_platform.programDir,
                                   m_platform.tempFolder,
                                   m_platform.downloadsFolder,
                                   m_platform.maxUnpackedBytes,
                                   std::chrono::milliseconds(m_platform.fileStepLimitMs) };
        // Not on the shared pool: for as long as a tool takes, it would
        // hold one of its threads, and on one processor every other job.
        auto outcome = std::make_shared<ReleaseUnpacker::Outcome>();
        QThread* thread = QThread::create([job, outcome] { *outcome = ReleaseUnpacker::run(job); });
        m_fileWork << thread;
        connect(thread, &QThread::finished, this, [this, thread, release, done, outcome] {
            m_fileWork.removeOne(thread);
            thread->deleteLater(); // once it has returned from its last words
            placed(release, *outcome, done);
        });
        thread->start();
    });
}

void Updater::stop()
{
    if (std::exchange(m_stopped, true))
        return;
    if (!m_offered.isEmpty())
        AppLog::file().write(QStringLiteral("The offer of Corvanta %1 was closed: Corvanta quits.").arg(m_offered));
    else if (m_download || !m_fileWork.isEmpty())
        AppLog::file().write(QStringLiteral("The update under way was stopped: Corvanta quits."));
    else if (m_busy)
        AppLog::file().write(QStringLiteral("The update check under way was stopped: Corvanta quits."));
    if (m_timer)
        m_timer->stop();
    if (m_download)
        m_download->cancel(QStringLiteral("The update was stopped: Corvanta quit."));
    for (QThread* thread : std::as_const(m_fileWork))
        thread->requestInterruption();
    setBusy(false);
}

void Updater::cancelDownload()
{
    if (!m_download)
        return;
    m_cancelled = QStringLiteral("The download was cancelled.");
    m_download->cancel(m_cancelled);
}

void Updater::download(const Release& release, std::function<void(Result<QString>)> done)
{
    const QUrl url(release.url, QUrl::StrictMode);
    if (!isAllowedAddress(url))
        return done(std::unexpected(notOnWebsite()));

    // Removed with the last reference unless whole: a download dropped at
    // the program's end leaves nothing.
    auto file = std::make_shared<QTemporaryFile>(m_platform.tempFolder + u'/'
                                                 + QLatin1String(UpdateLeftovers::downloadPrefix) + "XXXXXX");
    if (!file->open())
        return done(std::unexpected(notWritten(m_platform.tempFolder, errno)));

    // No larger than it may unpack to.
    const Download::Limits limits { std::chrono::milliseconds(m_platform.downloadIdleMs),
                                    std::chrono::milliseconds(m_platform.downloadLimitMs), m_platform.maxUnpackedBytes,
                                    [this](const QUrl& hop) { return isAllowedAddress(hop); } };
    auto* download = new Download({ url }, limits, this);
    m_download = download;

    // The archive goes to disk as it arrives, never whole into memory.
    // Progress is told as the bytes are written, the last ones before a
    // stall too. A write that failed is told with its folder and cause.
    auto unwritten = std::make_shared<UpdateError>();
    download->setSink([this, download, file, unwritten](QByteArrayView piece) {
        if (file->write(piece.data(), piece.size()) != piece.size()) {
            *unwritten = notWritten(m_platform.tempFolder, errno);
            return unwritten->message;
        }
        Q_EMIT downloadProgress(file->pos(), download->announcedBytes());
        return QString();
    });
    download->get([file, done, unwritten, folder = m_platform.tempFolder](const Download::Outcome& outcome) {
        const auto fail = [&](const UpdateError& error) {
            file->remove();
            done(std::unexpected(error));
        };
        const std::optional<QString> failure = DownloadFailure::of(
            outcome,
            { .accepted = [](int status) { return status == 200; },
              .status = [](int status) { return QStringLiteral("The download failed: HTTP %1.").arg(status); },
              .refusedHop = notOnWebsite().message });
        if (failure)
            return fail(outcome.stop == Download::Stop::sink ? *unwritten : UpdateError { *failure });
        if (!file->flush())
            return fail(notWritten(folder, errno));
        file->setAutoRemove(false);
        file->close();
        done(file->fileName());
    });
}

void Updater::placed(const Release& release, const ReleaseUnpacker::Outcome& outcome, const std::function<void()>& done)
{
    using Kind = ReleaseUnpacker::Outcome::Kind;
    if (m_stopped) // the program quits; the next start takes up what is left
        return;
    QString failure = outcome.message;
    QString logged = outcome.logText.isEmpty() ? failure : outcome.logText;
    if (outcome.kind == Kind::handInstall) {
        AppLog::file().write(
            QStringLiteral("Update to %1 left in %2: %3.").arg(release.version, outcome.archive, outcome.why));
        // One window at a time: the progress window closes, the alert comes
        // up, and the file manager shows the archive over it. The release
        // waits in Downloads: a scheduled check does not offer it again.
        m_refused = release.version;
        setBusy(false);
        if (m_platform.reveal)
            QTimer::singleShot(0, this, [this, archive = outcome.archive] { m_platform.reveal(archive); });
        alert(QStringLiteral("Please install the update yourself"), handInstallText(outcome));
    } else if (outcome.kind == Kind::replace) {
        const Result<void> started = relaunch(release, outcome.folder, outcome.newFolder);
        if (started) {
            setBusy(false);
            return;
        }
        QDir(QFileInfo(outcome.newFolder).absolutePath()).removeRecursively();
        failure = started.error().message;
        logged = started.error().logged.isEmpty() ? failure : started.error().logged;
    }
    if (outcome.kind != Kind::handInstall) {
        AppLog::file().write(QStringLiteral("Update to %1 failed: %2").arg(release.version, logged));
        if (outcome.lasting)
            m_refused = release.version;
        // The progress window closes before the alert comes up. The user
        // who cancelled knows.
        setBusy(false);
        if (failure != m_cancelled)
            alert(QStringLiteral("The update didn't work"), failure);
    }
    if (done)
        done();
}

Updater::Result<void> Updater::relaunch(const Release& release, const QString& appFolder, const QString& newFolder)
{
    const QString name
        = QLatin1String(UpdateLeftovers::scriptPrefix) + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".sh";
    const QString script = QDir(m_platform.tempFolder).filePath(name);
    QSaveFile file(script);
    if (!file.open(QIODevice::WriteOnly) || file.write(ReplacementScript::text().toUtf8()) < 0 || !file.commit())
        return std::unexpected(notWritten(m_platform.tempFolder, errno));

    if (!m_platform.outcomeFile.isEmpty()) {
        QDir().mkpath(QFileInfo(m_platform.outcomeFile).absolutePath());
        QFile::remove(m_platform.outcomeFile);
    }
    QProcess shell;
    shell.setProgram(QStringLiteral("/bin/sh"));
    shell.setArguments(ReplacementScript::arguments(script, m_platform.processId, newFolder, appFolder,
                                                    m_platform.outcomeFile, release.version, m_platform.program));
    shell.setStandardInputFile(QProcess::nullDevice());
    shell.setStandardOutputFile(QProcess::nullDevice());
    shell.setStandardErrorFile(QProcess::nullDevice());
    if (!shell.startDetached()) {
        QFile::remove(script);
        const QString text = QStringLiteral("The update could not be put in place: /bin/sh could not be started.");
        return std::unexpected(UpdateError { text, text + QStringLiteral(" Detail: ") + shell.errorString() });
    }
    if (m_platform.quit)
        m_platform.quit();
    return {};
}
