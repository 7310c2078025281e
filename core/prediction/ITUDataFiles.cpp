#include "prediction/ITUDataFiles.h"

#include "support/Download.h"
#include "support/DownloadFailure.h"
#include "support/Endpoints.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

namespace {

// Copies a file, or a folder with everything in it; false when anything of
// it could not be copied.
bool copyItem(const QFileInfo& source, const QString& target)
{
    if (!source.isDir())
        return QFile::copy(source.absoluteFilePath(), target);
    if (!QDir().mkpath(target))
        return false;
    bool all = true;
    const QDir dir(source.absoluteFilePath());
    for (const QFileInfo& item :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        all = copyItem(item, target + QLatin1Char('/') + item.fileName()) && all;
    return all;
}

// The month file is the one whose size is known exactly.
bool isMonthFile(const QString& name) { return name.startsWith(QLatin1String("ionos")); }

} // namespace

// One file's download: the file being written beside its final place while
// the body arrives, and who waits for it.
struct ITUDataFiles::Pending {
    std::unique_ptr<QSaveFile> file;
    QList<Done> waiting;
};

ITUDataFiles::ITUDataFiles(const QString& folder, const QString& bundleFolder, QObject* parent)
    : QObject(parent)
    , m_folder(folder)
    , m_bundleFolder(bundleFolder)
{
}

ITUDataFiles::~ITUDataFiles()
{
    // Downloads under way end here; each unfinished file is discarded with
    // its Pending.
    qDeleteAll(findChildren<Download*>(Qt::FindDirectChildrenOnly));
}

QString ITUDataFiles::fileName(int month) { return QString::asprintf("ionos%02d.bin", month); }

QString ITUDataFiles::noiseFileName(int month) { return QString::asprintf("COEFF%02dW.txt", month); }

QString ITUDataFiles::decileFileName() { return QStringLiteral("P1239-3 Decile Factors.txt"); }

QStringList ITUDataFiles::fileNames(int month) { return { fileName(month), noiseFileName(month), decileFileName() }; }

QString ITUDataFiles::folder() const
{
    QDir().mkpath(m_folder);
    return m_folder;
}

bool ITUDataFiles::hasFile(const QString& name) const
{
    const QFileInfo file(folder() + QLatin1Char('/') + name);
    if (!file.isFile())
        return false;
    return isMonthFile(name) ? file.size() == monthFileBytes : file.size() > 0;
}

bool ITUDataFiles::hasData(int month) const
{
    for (const QString& name : fileNames(month))
        if (!hasFile(name))
            return false;
    return true;
}

void ITUDataFiles::prepare(int month, const Done& done)
{
    copyBundledFiles();
    QStringList missing;
    for (const QString& name : fileNames(month))
        if (!hasFile(name))
            missing << name;
    if (missing.isEmpty()) {
        done(std::nullopt);
        return;
    }

    // One answer once every missing file has its outcome: the first
    // failure in the order of the files, or none.
    struct Join {
        qsizetype remaining;
        QList<std::optional<ITUEngineError>> outcomes;
        Done done;
        void take(qsizetype index, const std::optional<ITUEngineError>& outcome)
        {
            outcomes[index] = outcome;
            if (--remaining > 0)
                return;
            for (const auto& failure : std::as_const(outcomes))
                if (failure)
                    return done(failure);
            done(std::nullopt);
        }
    };
    auto join = std::make_shared<Join>(Join { missing.size(), QList<std::optional<ITUEngineError>>(missing.size()), done });
    for (qsizetype i = 0; i < missing.size(); ++i) {
        const QString& name = missing[i];
        if (!m_downloads.contains(name)) {
            if (const auto failure = m_failures.waiting(name)) {
                join->take(i, failure);
                continue;
            }
            startDownload(name);
        }
        m_downloads.value(name)->waiting.append(
            [join, i](const std::optional<ITUEngineError>& outcome) { join->take(i, outcome); });
    }
}

void ITUDataFiles::copyBundledFiles() const
{
    const QDir bundle(m_bundleFolder);
    if (m_bundleFolder.isEmpty() || !bundle.exists())
        return;
    const QString target = folder();
    for (const QFileInfo& item :
         bundle.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const QString path = target + QLatin1Char('/') + item.fileName();
        // Whatever is there already stays, whatever its size.
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            copyItem(item, path);
    }
}

void ITUDataFiles::startDownload(const QString& name)
{
    // The shared file's name holds blanks.
    const QUrl url(Endpoints::ituDataFolder() + QString::fromLatin1(QUrl::toPercentEncoding(name)), QUrl::StrictMode);
    auto pending = std::make_shared<Pending>();
    m_downloads.insert(name, pending);
    if (!url.isValid() || url.scheme().isEmpty()) {
        // Reported once the caller has joined, like every other outcome.
        QMetaObject::invokeMethod(
            this, [this, name] { finish(name, ITUEngineError::download(QStringLiteral("bad address"))); },
            Qt::QueuedConnection);
        return;
    }

    // No file of the engine's is larger than the month file: past its size
    // the body is wrong anyway, and the download ends there.
    const Download::Limits limits { std::chrono::milliseconds(m_timeoutMs), std::chrono::milliseconds(m_limitMs),
                                    monthFileBytes };
    auto* download = new Download({ url }, limits, this);
    download->setSink([this, pending, download, name](QByteArrayView piece) {
        if (download->status() != 200)
            return QString(); // an error page: only its size is of interest
        if (!pending->file) {
            pending->file = std::make_unique<QSaveFile>(folder() + QLatin1Char('/') + name);
            pending->file->open(QIODevice::WriteOnly);
        }
        if (pending->file->isOpen())
            pending->file->write(piece.data(), piece.size());
        return QString();
    });
    download->get([this, pending, name](const Download::Outcome& outcome) {
        using Stop = Download::Stop;
        const std::optional<QString> failure = DownloadFailure::of(
            outcome,
            { .accepted = [](int status) { return status == 200; },
              .status = [](int status) { return QStringLiteral("server answered %1").arg(status); },
              .idle = QStringLiteral("The request timed out."),
              .overall = QStringLiteral("not complete within %1")
                             .arg(Download::durationText(std::chrono::milliseconds(m_limitMs))),
              .tooLarge = QStringLiteral("unexpected file size, more than %1").arg(monthFileBytes) });
        if (failure) {
            // What the server sent is worded as the data's failure; the rest
            // is passed on as it is.
            const bool ofTheData = (outcome.status && *outcome.status != 200) || outcome.stop == Stop::tooLarge
                || outcome.stop == Stop::overall || outcome.stop == Stop::noAnswer;
            return finish(name, ofTheData ? ITUEngineError::download(*failure) : ITUEngineError::other(*failure));
        }
        const bool sizeRight = isMonthFile(name) ? outcome.bytes == monthFileBytes : outcome.bytes > 0;
        if (!sizeRight)
            return finish(name,
                          ITUEngineError::download(QStringLiteral("unexpected file size %1").arg(outcome.bytes)));
        QSaveFile* file = pending->file.get();
        if (!file || !file->commit()) {
            const QString path = folder() + QLatin1Char('/') + name;
            return finish(name, ITUEngineError::other(QStringLiteral("Could not write %1: %2")
                                                          .arg(path, file ? file->errorString() : QString())));
        }
        finish(name, std::nullopt);
    });
}

void ITUDataFiles::finish(const QString& name, const std::optional<ITUEngineError>& outcome)
{
    const std::shared_ptr<Pending> pending = m_downloads.take(name);
    if (!pending)
        return;
    // An uncommitted file is thrown away here, before anyone is told.
    pending->file.reset();
    if (outcome)
        m_failures.failed(name, *outcome);
    else
        m_failures.succeeded(name);
    for (const Done& done : std::as_const(pending->waiting))
        done(outcome);
}
