#include "prediction/ITUDataFiles.h"

#include "support/Endpoints.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
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

} // namespace

// One month's download: the reply, and the month's file being written
// beside its final place while the body arrives.
struct ITUDataFiles::Download {
    QPointer<QNetworkReply> reply;
    std::unique_ptr<QSaveFile> file;
    qint64 bytes = 0;
    QList<Done> waiting;
};

ITUDataFiles::ITUDataFiles(const QString& folder, const QString& bundleFolder, QObject* parent)
    : QObject(parent)
    , m_folder(folder)
    , m_bundleFolder(bundleFolder)
    , m_network(new QNetworkAccessManager(this))
{
}

ITUDataFiles::~ITUDataFiles()
{
    for (const auto& download : std::as_const(m_downloads))
        if (download->reply) {
            download->reply->disconnect(this);
            download->reply->abort();
        }
    // Each unfinished file is discarded with its Download.
}

QString ITUDataFiles::fileName(int month) { return QString::asprintf("ionos%02d.bin", month); }

QString ITUDataFiles::folder() const
{
    QDir().mkpath(m_folder);
    return m_folder;
}

bool ITUDataFiles::hasData(int month) const
{
    const QFileInfo file(folder() + QLatin1Char('/') + fileName(month));
    return file.isFile() && file.size() == monthFileBytes;
}

void ITUDataFiles::prepare(int month, const Done& done)
{
    copyBundledFiles();
    if (hasData(month)) {
        done(std::nullopt);
        return;
    }
    if (!m_downloads.contains(month))
        startDownload(month);
    if (const auto download = m_downloads.value(month))
        download->waiting.append(done);
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

void ITUDataFiles::startDownload(int month)
{
    const QUrl url(Endpoints::ituDataFolder() + fileName(month), QUrl::StrictMode);
    auto download = std::make_shared<Download>();
    m_downloads.insert(month, download);
    if (!url.isValid() || url.scheme().isEmpty()) {
        // Reported once the caller has joined, like every other outcome.
        QMetaObject::invokeMethod(
            this, [this, month] { finish(month, ITUEngineError::download(QStringLiteral("bad address"))); },
            Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(url);
    request.setTransferTimeout(m_timeoutMs);
    QNetworkReply* reply = m_network->get(request);
    download->reply = reply;

    connect(reply, &QNetworkReply::readyRead, this, [this, download, month] {
        QNetworkReply* r = download->reply;
        const QByteArray chunk = r->readAll();
        download->bytes += chunk.size();
        if (r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
            return; // an error page: only its size is of interest
        if (!download->file) {
            download->file = std::make_unique<QSaveFile>(folder() + QLatin1Char('/') + fileName(month));
            download->file->open(QIODevice::WriteOnly);
        }
        // Past the expected size the file is wrong anyway; counting is enough.
        if (download->bytes <= monthFileBytes && download->file->isOpen())
            download->file->write(chunk);
    });
    connect(reply, &QNetworkReply::finished, this, [this, download, month] {
        QNetworkReply* r = download->reply;
        r->deleteLater();
        const QVariant statusAttribute = r->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const int status = statusAttribute.isValid() ? statusAttribute.toInt() : 0;
        if (status != 0 && status != 200)
            return finish(month, ITUEngineError::download(QStringLiteral("server answered %1").arg(status)));
        // Only the transfer time-out cancels a reply that is still connected.
        if (r->error() == QNetworkReply::OperationCanceledError || r->error() == QNetworkReply::TimeoutError)
            return finish(month, ITUEngineError::other(QStringLiteral("The request timed out.")));
        if (r->error() != QNetworkReply::NoError)
            return finish(month, ITUEngineError::other(r->errorString()));
        if (status != 200)
            return finish(month, ITUEngineError::download(QStringLiteral("server answered 0")));
        if (download->bytes != monthFileBytes)
            return finish(month,
                          ITUEngineError::download(QStringLiteral("unexpected file size %1").arg(download->bytes)));
        QSaveFile* file = download->file.get();
        if (!file || !file->commit()) {
            const QString path = folder() + QLatin1Char('/') + fileName(month);
            return finish(month,
                          ITUEngineError::other(QStringLiteral("Could not write %1: %2") .arg(path, file ? file->errorString() : QString())));
        }
        finish(month, std::nullopt);
    });
}

void ITUDataFiles::finish(int month, const std::optional<ITUEngineError>& outcome)
{
    const std::shared_ptr<Download> download = m_downloads.take(month);
    if (!download)
        return;
    // An uncommitted file is thrown away here, before anyone is told.
    download->file.reset();
    for (const Done& done : std::as_const(download->waiting))
        done(outcome);
}
