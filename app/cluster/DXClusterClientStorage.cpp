// The cluster client's country file and logbook: loading them at start, the
// country file's download, the logbook's import and clearing, and the DXCC
// progress worked out from them.
#include "cluster/DXClusterClient.h"

#include "kit/AppLog.h"
#include "support/Endpoints.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>

namespace {

const QString countryFileName = QStringLiteral("cty.dat");
const QString logbookName = QStringLiteral("logbook.json");

void countryFileFailed(const QString& message) { AppLog::dataFeedFailed(countryFileName, message); }

} // namespace

void DXClusterClient::loadCountriesAndLogbook()
{
    m_locator = SpotLocator(SpotPlacer(m_services.labels), CtyDatabase::builtIn(m_services.labels));
    loadCountryFile();
    readStoredLogbook();
}

QString DXClusterClient::supportFile(const QString& name) const
{
    return m_services.supportFolder.isEmpty() ? QString() : m_services.supportFolder + u'/' + name;
}

std::optional<QString> DXClusterClient::save(const QString& name, const QByteArray& bytes) const
{
    const QString path = supportFile(name);
    if (path.isEmpty())
        return std::nullopt;
    QDir().mkpath(m_services.supportFolder); // a failure shows in the write
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return std::nullopt;
}

void DXClusterClient::loadCountryFile()
{
    const QString path = supportFile(countryFileName);
    if (!path.isEmpty()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            CtyDatabase cached(QString::fromLatin1(file.readAll()));
            if (cached.isFullCountryFile()) {
                const QDateTime modified = QFileInfo(file).fileTime(QFileDevice::FileModificationTime);
                useCountries(std::move(cached), modified.isValid() ? modified.toUTC() : QDateTime());
            }
        }
    }
    // A file dated in the future is taken as old: a clock that was wrong
    // once must not keep the country file from ever being renewed.
    const QDateTime now = m_timing.now();
    const bool fresh
        = m_countryFileDate && *m_countryFileDate <= now && m_countryFileDate->secsTo(now) <= countryFileMaxAgeSeconds;
    if (!fresh)
        QTimer::singleShot(0, this, [this] { updateCountryFile(); });
}

void DXClusterClient::readStoredLogbook()
{
    const QString path = supportFile(logbookName);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    std::optional<QList<LogbookQSO>> stored = LogbookQSO::decode(file.readAll());
    if (!stored) {
        // Left on disk as it is: a new import replaces it.
        AppLog::file().write(QStringLiteral("Logbook: ") + logbookName + QStringLiteral(" could not be read"));
        return;
    }
    m_qsos = std::move(*stored);
    recomputeProgress();
}

void DXClusterClient::useCountries(CtyDatabase countries, QDateTime date)
{
    m_locator.setCountries(std::move(countries));
    m_countryFileDate = date.isValid() ? std::optional(date) : std::nullopt;
    recomputeProgress();
    Q_EMIT countriesChanged();
}

void DXClusterClient::updateCountryFile(std::function<void()> ended)
{
    if (m_services.countryFileURL.isEmpty()) {
        if (ended)
            ended();
        return;
    }
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request { QUrl(m_services.countryFileURL) };
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(Endpoints::userAgent));
    request.setTransferTimeout(int(m_timing.countryFileTimeout.count()));
    QNetworkReply* reply = m_network->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, ended = std::move(ended)] {
        reply->deleteLater();
        countryFileArrived(reply);
        if (ended)
            ended();
    });
}

void DXClusterClient::countryFileArrived(QNetworkReply* reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        countryFileFailed(reply->errorString());
        return;
    }
    if (status.toInt() != 200) {
        countryFileFailed(QStringLiteral("HTTP ") + QString::number(status.toInt()));
        return;
    }
    const QByteArray bytes = reply->readAll();
    if (reply->error() != QNetworkReply::NoError) {
        countryFileFailed(reply->errorString());
        return;
    }
    CtyDatabase downloaded(QString::fromUtf8(bytes));
    if (!downloaded.isFullCountryFile()) {
        countryFileFailed(QStringLiteral("not a full country file (%1 countries)").arg(downloaded.entityCount()));
        return;
    }
    useCountries(std::move(downloaded), m_timing.now());
    if (const auto error = save(countryFileName, bytes))
        countryFileFailed(QStringLiteral("could not save it: ") + *error);
}

void DXClusterClient::recomputeProgress()
{
    if (m_qsos.isEmpty())
        m_progress.reset();
    else
        m_progress = DXCCProgress(m_qsos, m_locator.countries());
    // Countries still needed under the new progress may alert again.
    m_alerts.forgetNeeded();
    Q_EMIT logbookChanged();
}

std::expected<int, LogbookError> DXClusterClient::importADIF(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::unexpected(LogbookError { file.errorString() });
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::unexpected(LogbookError { file.errorString() });
    QList<LogbookQSO> qsos = ADIF::qsos(bytes);
    if (qsos.isEmpty())
        return std::unexpected(LogbookError { QStringLiteral("No QSOs found. Is this an ADIF (.adi) file?") });

    m_qsos = std::move(qsos);
    recomputeProgress();
    const int count = int(m_qsos.size());
    const std::optional<QString> unsaved = save(logbookName, LogbookQSO::encode(m_qsos));
    m_settings.set(SettingKeys::logbookFileName, QFileInfo(path).fileName());
    m_settings.set(SettingKeys::logbookImportDate, m_timing.now().toUTC().toString(Qt::ISODate));
    if (unsaved) {
        AppLog::file().write(QStringLiteral("Logbook: could not save ") + logbookName
                                            + QStringLiteral(": ") + *unsaved);
        return std::unexpected(
            LogbookError { QStringLiteral("The logbook was imported (%1 QSOs) but could not be saved: %2. "
                           "It is in use until Corvanta quits; import it again to keep it.")
                                              .arg(count)
                                              .arg(*unsaved) });
    }
    return count;
}

void DXClusterClient::clearLogbook()
{
    m_qsos.clear();
    m_progress.reset();
    if (const QString path = supportFile(logbookName); !path.isEmpty())
        QFile::remove(path);
    m_settings.remove(SettingKeys::logbookFileName);
    m_settings.remove(SettingKeys::logbookImportDate);
    Q_EMIT logbookChanged();
}
