#include "maintenance/UpdateLeftovers.h"

#include "maintenance/AppManifest.h"
#include "support/AtomicFile.h"
#include "support/FileWords.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <dirent.h>
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

// Whether `name` is `prefix` and QTemporaryDir's six letters.
bool isTemporary(const QString& name, const char* prefix)
{
    const QLatin1String start(prefix);
    return name.startsWith(start) && AtomicFile::isTemporarySuffix(QStringView(name).mid(start.size()));
}

// Whether `name` is one the update gives its files in the temporary folder.
bool isTemporaryFileName(const QString& name)
{
    if (isTemporary(name, downloadPrefix)) // the download
        return true;
    if (name.endsWith(QLatin1String(".zip"))) // the archive
        return isTemporary(name.chopped(4), downloadPrefix);
    const QLatin1String script(scriptPrefix);
    if (!name.startsWith(script) || !name.endsWith(QLatin1String(".sh")))
        return false;
    const QString uuid = name.sliced(script.size()).chopped(3);
    return QUuid::fromString(uuid).toString(QUuid::WithoutBraces) == uuid;
}

bool isUnpackFolder(const QString& path)
{
    if (!isTemporary(QFileInfo(path).fileName(), unpackPrefix) || !isOwnFolder(path))
        return false;
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QString& entry : QDir(path).entryList(all)) {
        if ((entry != QLatin1String("Corvanta") && entry != QLatin1String("previous"))
            || !isOwnFolder(path + u'/' + entry))
            return false;
    }
    return true;
}

// The names in `folder`; none when it cannot be read, and `unreadable`, when
// still empty, gets the folder and why.
QStringList namesIn(const QString& folder, QString* unreadable)
{
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    int error = dir ? 0 : errno;
    QStringList names;
    while (dir) {
        errno = 0; // what tells the end from a failure
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            error = errno;
            ::closedir(dir);
            break;
        }
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names << QFile::decodeName(entry->d_name);
    }
    if (error != 0 && unreadable && unreadable->isEmpty())
        *unreadable = QStringLiteral("%1 cannot be read: %2").arg(folder, FileWords::cause(error));
    return error == 0 ? names : QStringList();
}

} // namespace

bool isBackup(const QString& path)
{
    const std::optional<AppManifest> manifest = AppManifest::read(path);
    return isOwnFolder(path) && manifest && manifest->id == AppManifest::appId();
}

bool isCarry(const QString& path)
{
    if (!isTemporary(QFileInfo(path).fileName(), carryPrefix) || !isOwnFolder(path))
        return false;
    const std::optional<struct stat> mark = statusOf(path + u'/' + QLatin1String(carryMark));
    return mark && S_ISREG(mark->st_mode);
}

QStringList lackedEntries(const QString& engine, const QString& installed, qsizetype most, QString* unreadable)
{
    QStringList lacked;
    QStringList folders { QString() };
    while (!folders.isEmpty() && lacked.size() < most) {
        const QString folder = folders.takeLast();
        for (const QString& name : namesIn(engine + folder, unreadable)) {
            const QString entry = folder + u'/' + name;
            if (isCarry(engine + entry))
                continue;
            // Into folders on both sides; the installed one may be a link
            // to the user's own, which is asked through it.
            const std::optional<struct stat> here = statusOf(engine + entry);
            const bool isFolder = here && S_ISDIR(here->st_mode);
            struct stat there {};
            if (isFolder && ::stat(QFile::encodeName(installed + entry).constData(), &there) == 0
                && S_ISDIR(there.st_mode)) {
                folders << entry;
                continue;
            }
            // Anything else by its name alone (a copy is renamed into place
            // only when whole), but a folder only by a folder.
            if (isFolder || !statusOf(installed + entry)) {
                lacked << entry;
                if (lacked.size() == most)
                    break;
            }
        }
    }
    return lacked;
}

bool holdsUsersEngine(const QString& path, const QString& app, QString* why)
{
    const QString installed = app + QLatin1String(engineFolder);
    for (const QString& within : { QString(), QStringLiteral("/Corvanta"), QStringLiteral("/previous") }) {
        const QString engine = path + within + QLatin1String(engineFolder);
        if (!isOwnFolder(engine)) // a link keeps the engine elsewhere
            continue;
        QString unreadable;
        if (!lackedEntries(engine, installed, 1, &unreadable).isEmpty())
            return true;
        if (!unreadable.isEmpty()) {
            if (why)
                *why = unreadable;
            return true;
        }
    }
    return false;
}

QStringList removeCarries(const QString& engine, std::chrono::milliseconds age, const QDateTime& now)
{
    QStringList removed;
    if (!isOwnFolder(engine))
        return removed;
    // Links are not followed, so nothing outside is looked at.
    QDirIterator it(engine, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (isCarry(path) && untouchedFor(path, age, now) && QDir(path).removeRecursively())
            removed << path;
    }
    return removed;
}

QStringList removeTemporaries(const QString& temp, std::chrono::milliseconds age, const QDateTime& now)
{
    QStringList removed;
    if (temp.isEmpty()) // not the working folder
        return removed;
    const QDir folder(temp);
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString path = folder.filePath(name);
        const std::optional<struct stat> status = statusOf(path);
        if (isTemporaryFileName(name) && status && S_ISREG(status->st_mode) && status->st_uid == ::geteuid()
            && untouchedFor(path, age, now) && QFile::remove(path))
            removed << path;
    }
    return removed;
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

    Cleanup cleanup { removeCarries(app + QLatin1String(engineFolder), age, now), {} };
    for (const QString& path : std::as_const(candidates)) {
        if (!untouchedFor(path, age, now))
            continue;
        if (QString why; holdsUsersEngine(path, app, &why))
            cleanup.kept << (why.isEmpty() ? path : path + QStringLiteral(" (") + why + u')');
        else if (QDir(path).removeRecursively()) // links inside are removed, never followed
            cleanup.removed << path;
    }
    return cleanup;
}

} // namespace UpdateLeftovers
