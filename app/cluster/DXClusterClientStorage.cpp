// The cluster client's country file and logbook: loading them at start, the
// country file's download, the logbook's import and clearing, and the DXCC
// progress worked out from them.
#include "cluster/DXClusterClient.h"

#include "kit/AppLog.h"
#include "support/AtomicFile.h"
#include "support/Download.h"
#include "support/DownloadFailure.h"
#include "support/PoolJob.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

const QString countryFileName = QStringLiteral("cty.dat");
const QString logbookName = QStringLiteral("logbook.json");

// A country file's bytes, downloaded or cached, read the same way: the
// publisher's file is plain ASCII, and Latin-1 takes any other byte as one
// character of its own, so nothing is lost or replaced and the cached
// copy reads exactly as the download did.
CtyDatabase countryFile(const QByteArray& bytes) { return CtyDatabase(QString::fromLatin1(bytes)); }

// The cached country file as the pool reads it; none when it cannot be
// read or is larger than a real one.
std::optional<CtyDatabase> readCountryFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(DXClusterClient::maxCountryFileBytes + 1);
    if (bytes.size() > DXClusterClient::maxCountryFileBytes)
        return std::nullopt;
    return countryFile(bytes);
}

// Why a country file's download brought no file, in the download's words;
// none when its body came whole.
std::optional<QString> countryFileFailure(const Download::Outcome& outcome)
{
    const std::optional<QString> failure
        = DownloadFailure::of(outcome, { .accepted = [](int status) { return status == 200; } });
    return failure ? std::optional(DownloadFailure::logged(*failure, outcome)) : std::nullopt;
}

} // namespace

void DXClusterClient::loadCountriesAndLogbook()
{
    m_locator = SpotLocator(SpotPlacer(m_services.labels), CtyDatabase::builtIn(m_services.labels));
    for (const QString& name : { countryFileName, logbookName })
        if (const QString path = supportFile(name); !path.isEmpty())
            AtomicFile::removeLeftovers(path, AtomicFile::leftoverAge);
    loadCountryFile();
    readStoredLogbook();
}

QString DXClusterClient::supportFile(const QString& name) const
{
    return m_services.supportFolder.isEmpty() ? QString() : m_services.supportFolder + u'/' + name;
}

std::expected<void, SaveError> DXClusterClient::save(const QString& name, const QByteArray& bytes) const
{
    const QString path = supportFile(name);
    if (path.isEmpty())
        return {};
    return AtomicFile::write(path, bytes);
}

void DXClusterClient::loadCountryFile()
{
    const QString path = supportFile(countryFileName);
    const QFileInfo info(path);
    // Missing, or larger than any real one: taken as damaged, so the
    // built-in list stays and a download is started.
    if (path.isEmpty() || !info.isFile() || info.size() > maxCountryFileBytes) {
        renewCountryFileIfOld();
        return;
    }
    // Parsed away from the window; the built-in list serves meanwhile.
    const QDateTime modified = info.fileTime(QFileDevice::FileModificationTime);
    PoolJob::run(
        this, [path] { return readCountryFile(path); },
        [this, serial = m_countriesSerial, modified](std::optional<CtyDatabase> cached) {
            // A download that came first is newer than the cached file.
            if (cached && cached->isFullCountryFile() && serial == m_countriesSerial)
                useCountries(std::move(*cached), modified.isValid() ? modified.toUTC() : QDateTime());
            renewCountryFileIfOld();
        });
}

bool DXClusterClient::countryFileIsFresh() const
{
    // A file dated in the future is taken as old: a clock that was wrong
    // once must not keep the country file from ever being renewed.
    const QDateTime now = m_timing.now();
    return m_countryFileDate && *m_countryFileDate <= now
        && m_countryFileDate->secsTo(now) <= countryFileMaxAgeSeconds;
}

void DXClusterClient::renewCountryFileIfOld()
{
    if (!countryFileIsFresh())
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
    std::optional<StoredLogbook> stored = StoredLogbook::decode(file.readAll());
    if (!stored) {
        // Left on disk as it is: a new import replaces it.
        AppLog::file().write(QStringLiteral("Logbook: ") + logbookName + QStringLiteral(" could not be read"));
        return;
    }
    // Earlier versions kept the name and time in the settings.
    if (stored->fileName.isEmpty())
        stored->fileName = m_settings.get(SettingKeys::logbookFileName);
    if (const QDateTime date = QDateTime::fromString(m_settings.get(SettingKeys::logbookImportDate), Qt::ISODate);
        !stored->imported && date.isValid())
        stored->imported = date.toUTC();
    m_logbook = std::move(*stored);
    recomputeProgress();
}

void DXClusterClient::useCountries(CtyDatabase countries, QDateTime date)
{
    ++m_countriesSerial;
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
    // A try is under way: the next one is set again only if it fails.
    m_countryFileRetryTimer.stop();
    if (std::exchange(m_nextCountryFileTry, std::nullopt))
        Q_EMIT countryFileRetryChanged();

    const Download::Limits limits { m_timing.countryFileTimeout, m_timing.countryFileLimit, maxCountryFileBytes };
    auto* download = new Download({ QUrl(m_services.countryFileURL) }, limits, this);
    download->get([this, ended = std::move(ended)](const Download::Outcome& outcome) mutable {
        if (const std::optional<QString> failure = countryFileFailure(outcome)) {
            countryFileFailed(*failure);
            if (ended)
                ended();
            return;
        }
        countryFileArrived(outcome.body, std::move(ended));
    });
}

void DXClusterClient::countryFileArrived(const QByteArray& bytes, std::function<void()> ended)
{
    // Parsed away from the window, then put in use here.
    PoolJob::run(
        this, [bytes] { return countryFile(bytes); },
        [this, bytes, ended = std::move(ended)](CtyDatabase downloaded) {
            if (!downloaded.isFullCountryFile()) {
                countryFileFailed(
                    QStringLiteral("not a full country file (%1 countries)").arg(downloaded.entityCount()));
            } else {
                useCountries(std::move(downloaded), m_timing.now());
                if (const auto saved = save(countryFileName, bytes); !saved)
                    AppLog::dataFeedFailed(countryFileName,
                                           QStringLiteral("could not save it: ") + saved.error().message);
            }
            if (ended)
                ended();
        });
}

void DXClusterClient::countryFileFailed(const QString& message)
{
    AppLog::dataFeedFailed(countryFileName, message);
    // Tried again for as long as no fresh file is in use: hourly while the
    // built-in list places the spots, six-hourly while a week-old file does.
    // A failed "Update now" beside a fresh file waits for the next start.
    if (countryFileIsFresh())
        return;
    const std::chrono::milliseconds wait
        = m_countryFileDate ? m_timing.countryFileStaleRetry : m_timing.countryFileRetry;
    m_countryFileRetryTimer.start(wait);
    m_nextCountryFileTry = m_timing.now().addMSecs(wait.count());
    Q_EMIT countryFileRetryChanged();
}

void DXClusterClient::recomputeProgress()
{
    if (m_logbook.qsos.isEmpty())
        m_progress.reset();
    else
        m_progress = DXCCProgress(m_logbook.qsos, m_locator.countries());
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

    // The name and time go into the same file as the contacts, so no kill
    // can leave one import's contacts under another's name.
    StoredLogbook logbook { std::move(qsos), QFileInfo(path).fileName(), m_timing.now().toUTC() };
    const std::expected<void, SaveError> saved = save(logbookName, logbook.encode());
    if (!saved) {
        // In use for this run under no name: the logbook on disk, with its
        // own name and time, is the one the next start reads.
        logbook.fileName.clear();
        logbook.imported.reset();
    }
    m_logbook = std::move(logbook);
    recomputeProgress();
    const int count = int(m_logbook.qsos.size());
    if (!saved) {
        AppLog::file().write(QStringLiteral("Logbook: could not save ") + logbookName + QStringLiteral(": ")
                             + saved.error().message);
        return std::unexpected(
            LogbookError { QStringLiteral("The logbook was imported (%1 QSOs) but could not be saved: %2. "
                                          "It is in use until Corvanta quits; import it again to keep it.")
                               .arg(count)
                               .arg(saved.error().message) });
    }
    // What earlier versions kept in the settings is the file's now.
    m_settings.remove(SettingKeys::logbookFileName);
    m_settings.remove(SettingKeys::logbookImportDate);
    return count;
}

void DXClusterClient::clearLogbook()
{
    m_logbook = {};
    m_progress.reset();
    if (const QString path = supportFile(logbookName); !path.isEmpty())
        QFile::remove(path);
    m_settings.remove(SettingKeys::logbookFileName);
    m_settings.remove(SettingKeys::logbookImportDate);
    Q_EMIT logbookChanged();
}
