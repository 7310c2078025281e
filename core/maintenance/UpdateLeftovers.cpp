#include "maintenance/UpdateLeftovers.h"

#include "maintenance/AppManifest.h"
#include "support/AtomicFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace UpdateLeftovers {

namespace {

std::optional<struct stat> statusOf(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return status;
}

// A folder, not a link to one, that belongs to this user.
bool isOwnFolder(const QString& path)
{
    const std::optional<struct stat> status = statusOf(path);
    return status && S_ISDIR(status->st_mode) && status->st_uid == ::geteuid();
}

qint64 changedMs(const struct stat& status)
{
    return qint64(status.st_ctim.tv_sec) * 1000 + status.st_ctim.tv_nsec / 1000000;
}

// Whether nothing in the tree below `folder` changed for `age`. The time of
// change, not of modification: unzip and `cp -a` give every file the time
// it had, but may not set this one.
bool untouchedFor(const QString& folder, std::chrono::milliseconds age, const QDateTime& now)
{
    const qint64 before = now.toMSecsSinceEpoch() - age.count();
    const std::optional<struct stat> own = statusOf(folder);
    if (!own || changedMs(*own) > before)
        return false;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const std::optional<struct stat> status = statusOf(it.next());
        if (status && changedMs(*status) > before)
            return false;
    }
    return true;
}

bool isUnpackFolder(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const QLatin1String prefix(unpackPrefix);
    if (!name.startsWith(prefix) || !AtomicFile::isTemporarySuffix(QStringView(name).mid(prefix.size())))
        return false;
    if (!isOwnFolder(path))
        return false;
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QString& entry : QDir(path).entryList(all)) {
        if ((entry != QLatin1String("Corvanta") && entry != QLatin1String("previous"))
            || !isOwnFolder(path + u'/' + entry))
            return false;
    }
    return true;
}

} // namespace

bool isBackup(const QString& path)
{
    const std::optional<AppManifest> manifest = AppManifest::read(path);
    return isOwnFolder(path) && manifest && manifest->id == AppManifest::appId();
}

bool holdsUsersEngine(const QString& path, const QString& app)
{
    const QString installed = app + QLatin1String(engineFolder);
    for (const QString& within : { QString(), QStringLiteral("/Corvanta"), QStringLiteral("/previous") }) {
        const QString engine = path + within + QLatin1String(engineFolder);
        if (!isOwnFolder(engine)) // a link keeps the engine elsewhere
            continue;
        QDirIterator it(engine, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            if (!statusOf(installed + it.next().mid(engine.size())))
                return true;
        }
    }
    return false;
}

Cleanup remove(const QString& app, std::chrono::milliseconds age, const QDateTime& now)
{
    QStringList candidates;
    const QDir beside = QFileInfo(app).absoluteDir();
    const QDir::Filters folders = QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot;
    for (const QString& name : beside.entryList({ QLatin1String(unpackPrefix) + u'*' }, folders)) {
        if (isUnpackFolder(beside.filePath(name)))
            candidates << beside.filePath(name);
    }
    if (const QString backup = app + QLatin1String(backupSuffix); isBackup(backup))
        candidates << backup;

    Cleanup cleanup;
    for (const QString& path : std::as_const(candidates)) {
        if (!untouchedFor(path, age, now))
            continue;
        if (holdsUsersEngine(path, app))
            cleanup.kept << path;
        else if (QDir(path).removeRecursively()) // links inside are removed, never followed
            cleanup.removed << path;
    }
    return cleanup;
}

} // namespace UpdateLeftovers
