#include "maintenance/ReleaseUnpacker.h"

#include "maintenance/AppManifest.h"
#include "maintenance/ArchiveListing.h"
#include "maintenance/ToolRun.h"
#include "maintenance/UpdateLeftovers.h"
#include "maintenance/VersionCheck.h"
#include "support/ByteSize.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace ReleaseUnpacker {

namespace {

using Kind = Outcome::Kind;

Outcome failed(const QString& message, bool lasting = false)
{
    return { Kind::failed, message, {}, lasting, {}, {}, {}, {} };
}

Outcome failed(const FileWords::Said& said) { return { Kind::failed, said.text, said.logged, false, {}, {}, {}, {} }; }

const QString notUnpackedLead = QStringLiteral("The download couldn't be unpacked: ");
QString notUnpackedBecause(const QString& why) { return notUnpackedLead + why + u'.'; }
const QString tooLong = QStringLiteral("took too long; the disk may be failing");
const QString notExpected = QStringLiteral("The download is not the expected Corvanta version.");
const QString stopped = QStringLiteral("The update was stopped: Corvanta quit.");

// A tool's failure: `lead`, then why in our words for the user, and for
// the log what the tool said, whole.
Outcome toolFailed(const QString& lead, const ToolRun::Result& run, const QString& why)
{
    QString message = lead + why;
    if (!message.endsWith(u'.'))
        message += u'.';
    const QString said = run.said.isEmpty() ? QStringLiteral("it gave no reason") : run.said;
    return { Kind::failed, message, message + QStringLiteral(" Detail: ") + said, false, {}, {}, {}, {} };
}

// unzip's failure: damaged files counted, an archive it cannot read told as
// such; otherwise the cause it names, as for any tool.
Outcome unzipFailed(const ToolRun::Result& unzip)
{
    const qsizetype damaged = std::ranges::count_if(unzip.said.split(u'\n'), [](const QString& line) {
        return line.contains(QLatin1String(" bad CRC ")) || line.contains(QLatin1String("invalid compressed data"));
    });
    QString why;
    if (damaged > 1)
        why = QStringLiteral("%1 files of the download are damaged").arg(damaged);
    else if (damaged == 1)
        why = QStringLiteral("a file of the download is damaged");
    else if (unzip.said.contains(QLatin1String("End-of-central-directory signature not found")))
        why = QStringLiteral("it is not a zip archive");
    else if (unzip.exitStatus == 2 || unzip.exitStatus == 3 || unzip.exitStatus == 51)
        why = QStringLiteral("the download is damaged");
    else if (unzip.exitStatus >= 4 && unzip.exitStatus <= 8)
        why = QStringLiteral("memory ran out");
    else if (unzip.exitStatus == 81 || unzip.exitStatus == 82)
        why = QStringLiteral("it holds files stored in a way unzip cannot read");
    else
        why = ToolRun::reason(unzip, QStringLiteral("unzip"));
    return toolFailed(notUnpackedLead, unzip, why);
}

// Whether the user may write `path`: access(2), which asks for the real
// user as the shell's `test -w` does.
bool isWritable(const QString& path) { return ::access(QFile::encodeName(path).constData(), W_OK) == 0; }

// Whether the thread's owner asked it to stop: the program quits.
bool stopAsked() { return QThread::currentThread()->isInterruptionRequested(); }

// The SHA-256 of the file at `path`, in pieces between which the thread
// looks whether it is asked to stop (a gigabyte takes seconds); none when
// it is, or when the file can't be read, with `failure` set.
std::optional<QString> checksumOf(const QString& path, Outcome* failure)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *failure = failed(notRead(path, errno));
        return std::nullopt;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    constexpr qint64 piece = 4 << 20;
    // Hashed straight from the mapped file, not a copy in memory.
    for (qint64 at = 0; at < file.size(); at += piece) {
        if (stopAsked()) {
            *failure = failed(stopped);
            return std::nullopt;
        }
        const qint64 size = std::min(piece, file.size() - at);
        const uchar* bytes = file.map(at, size);
        if (!bytes) {
            *failure = failed(notRead(path, errno));
            return std::nullopt;
        }
        hash.addData(QByteArrayView(bytes, size));
        file.unmap(const_cast<uchar*>(bytes));
    }
    return QString::fromLatin1(hash.result().toHex());
}

// Why the program cannot replace its installed folder, and what kind of
// place keeps it; empty when it can.
std::pair<QString, Outcome::Place> whyNotInPlace(const QString& app, const QString& folder, const QString& programDir)
{
    using Place = Outcome::Place;
    if (app.isEmpty())
        return { QStringLiteral("%1 is not in an installed Corvanta folder").arg(programDir), Place::notInstalled };
    if (!isWritable(folder))
        return { QStringLiteral("%1 is not writable").arg(folder), Place::notWritable };
    if (!isWritable(app))
        return { QStringLiteral("%1 is not writable").arg(app), Place::notWritable };
    const std::optional<AppManifest> manifest = AppManifest::read(app);
    if (!manifest)
        return { QStringLiteral("the manifest of %1 can't be read").arg(app), Place::unreadable };
    const QStringList foreign = manifest->foreignEntries(app);
    if (foreign.isEmpty())
        return {};
    constexpr qsizetype named = 5;
    QString list = foreign.mid(0, named).join(QStringLiteral(", "));
    if (foreign.size() > named)
        list += QStringLiteral(" and %1 more").arg(foreign.size() - named);
    return { QStringLiteral("%1 holds more than Corvanta (%2)").arg(app, list), Place::shared };
}

Outcome toDownloads(const Job& job, const QString& archive, const QString& folder, const QString& why)
{
    QDir().mkpath(job.downloadsFolder);
    const QString name = QStringLiteral("Corvanta-Linux-%1.zip").arg(ReleaseFeed::fileNameVersion(job.release.version));
    const QString target = QDir(job.downloadsFolder).filePath(name);
    QFile::remove(target);
    QFile file(archive);
    if (!file.rename(target))
        return failed(notWritten(job.downloadsFolder, errno));
    return { Kind::handInstall, {}, {}, false, folder, why, target, {} };
}

// The first link below `folder` that leads out of it (by its own words or
// once every link on the way is followed); empty when there is none.
QString linkLeadingOut(const QString& folder)
{
    const QString inside = QDir(folder).absolutePath() + u'/';
    const QString canonicalInside = QFileInfo(folder).canonicalFilePath() + u'/';
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        if (!entry.isSymLink())
            continue;
        const QString target = entry.symLinkTarget();
        const QString resolved = entry.canonicalFilePath();
        const bool out = !(target + u'/').startsWith(inside)
            || (!resolved.isEmpty() && !(resolved + u'/').startsWith(canonicalInside));
        if (out)
            return entry.filePath().mid(inside.size());
    }
    return {};
}

// Copies the user's engine folder into the new application folder; none
// when it went well.
std::optional<Outcome> carryEngine(const Job& job, const QString& app, const QString& newApp)
{
    const QString from = app + QLatin1String(UpdateLeftovers::engineFolder);
    const QString to = newApp + QLatin1String(UpdateLeftovers::engineFolder);
    const QFileInfo engine(from);
    const QDeadlineTimer deadline(job.stepLimit);
    ToolRun::Result copy { .ok = true };
    if (engine.isSymLink()) {
        // The user keeps the engine elsewhere: the link comes along.
        QDir(to).removeRecursively();
        QFile::remove(to);
        copy = ToolRun::run(QStringLiteral("cp"), { QStringLiteral("-a"), from, to }, deadline);
    } else if (engine.isDir()
               && !QDir(from).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        QDir().mkpath(to);
        copy = ToolRun::run(QStringLiteral("cp"), { QStringLiteral("-a"), from + QStringLiteral("/."), to + u'/' },
                            deadline);
    }
    if (copy.ok)
        return std::nullopt;
    const QString lead = QStringLiteral("The P.533 engine in %1 could not be carried into the new version: ").arg(from);
    if (copy.timedOut)
        return failed(lead + QStringLiteral("copying ") + tooLong + u'.');
    return toolFailed(lead, copy, ToolRun::reason(copy, QStringLiteral("cp")));
}

// Renames `from` to `to` unless something stands there (the user's, which
// wins); where the file system cannot tell in one step, it looks first.
// Empty when it was renamed or left, else why not.
QString renameUnlessTaken(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return {};
    int error = errno;
    if (struct stat status {}; error == EINVAL) {
        if (::lstat(target.constData(), &status) == 0 || ::rename(source.constData(), target.constData()) == 0)
            return {};
        error = errno;
    }
    return error == EEXIST ? QString() : FileWords::cause(error);
}

// Copies `entries` of the backup's engine folder `from`, each directly in
// its folder `folder`, into that folder of the installed engine folder `to`
// (none whose name is taken there): first into a carry folder beside their
// place, in as few runs of cp as the argument limit allows, then each
// renamed into place only when whole. The copies lie in a folder of their
// own beside the carry folder's mark, never in its place: an entry may bear
// its name.
ToolRun::Result carryFolder(const QString& from, const QString& to, const QString& folder, const QStringList& entries,
                            const QDeadlineTimer& deadline)
{
    QStringList names;
    for (const QString& entry : entries) {
        // A folder where the user has a file of its name: it can't go
        // in, and the backup stays.
        if (const QFileInfo there(to + entry); !there.exists() && !there.isSymLink())
            names << entry.mid(folder.size() + 1);
    }
    if (names.isEmpty())
        return { .ok = true };
    // Marked before the copy begins: a carry folder cut short is told from
    // the user's folder of that name by its mark alone.
    QTemporaryDir carry(to + folder + u'/' + QLatin1String(UpdateLeftovers::carryPrefix) + QStringLiteral("XXXXXX"));
    QFile mark(carry.filePath(QLatin1String(UpdateLeftovers::carryMark)));
    const QString copies = carry.filePath(QStringLiteral("entries"));
    if (!carry.isValid() || !mark.open(QIODevice::WriteOnly | QIODevice::NewOnly)
        || ::mkdir(QFile::encodeName(copies).constData(), 0700) != 0)
        return { .said = FileWords::cause(errno) };
    for (qsizetype next = 0; next < names.size();) {
        QStringList arguments { QStringLiteral("-a") };
        for (qsizetype bytes = 0;
             next < names.size() && (arguments.size() == 1 || bytes < ArchiveListing::maxPatternBytes); ++next) {
            arguments << from + folder + u'/' + names[next];
            bytes += QFile::encodeName(arguments.last()).size() + 1;
        }
        arguments << copies + u'/';
        if (ToolRun::Result copy = ToolRun::run(QStringLiteral("cp"), arguments, deadline); !copy.ok)
            return copy;
    }
    for (const QString& name : std::as_const(names)) {
        if (QString why = renameUnlessTaken(copies + u'/' + name, to + folder + u'/' + name); !why.isEmpty())
            return { .said = why };
    }
    return { .ok = true };
}

// Copies what the engine folder of the backup holds and the installed one
// lacks into the installed one (the installed folder's own entries win, and
// never through a link there, which keeps the user's engine elsewhere):
// from there it goes into the new version with the rest, and it stays where
// it was should the update fail. The entries of each folder are carried
// together (carryFolder), so that a copy cut short (a full disk, a kill)
// never passes for the user's. None when every copy went well and the
// backup then holds nothing of the user's engine, so it may go.
std::optional<Outcome> keepEngineOf(const QString& backup, const QString& app, const QDeadlineTimer& deadline)
{
    const QString from = backup + QLatin1String(UpdateLeftovers::engineFolder);
    const QString to = app + QLatin1String(UpdateLeftovers::engineFolder);
    ToolRun::Result copy { .ok = true };
    if (UpdateLeftovers::holdsUsersEngine(backup, app) && !QFileInfo(to).isSymLink()) {
        QDir().mkpath(to);
        const QString inside = QFileInfo(to).canonicalFilePath();
        std::map<QString, QStringList> byFolder; // "" or "/Data/antennas"
        for (const QString& entry :
             UpdateLeftovers::lackedEntries(from, to, std::numeric_limits<qsizetype>::max(), nullptr))
            byFolder[entry.left(entry.lastIndexOf(u'/'))] << entry;
        for (const auto& [folder, entries] : byFolder) {
            if (QFileInfo(to + folder).canonicalFilePath() != inside + folder)
                continue;
            copy = carryFolder(from, to, folder, entries, deadline);
            if (!copy.ok)
                break;
        }
    }
    QString unreadable;
    if (copy.ok && !UpdateLeftovers::holdsUsersEngine(backup, app, &unreadable))
        return std::nullopt;
    QString lead = QStringLiteral("Corvanta can't replace itself: %1, left by an earlier update, holds files of "
                                  "the P.533 engine that %2 lacks. Please move them there and check for updates "
                                  "again.")
                       .arg(backup, to);
    if (!unreadable.isEmpty())
        lead += u' ' + unreadable + u'.';
    Outcome outcome = copy.timedOut ? failed(lead + QStringLiteral(" Copying them ") + tooLong + u'.')
        : copy.ok                   ? failed(lead)
                                    : toolFailed(lead + QStringLiteral(" Copying them failed: "), copy,
                                                 ToolRun::reason(copy, QStringLiteral("cp")));
    outcome.lasting = true;
    return outcome;
}

// The size of what `entry` left on disk below `dir` (a link's by its
// target's length), -1 when nothing is there.
qint64 sizeOnDisk(const QString& dir, const ArchiveListing::Entry& entry)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(dir + u'/' + entry.name).constData(), &status) != 0)
        return -1;
    return S_ISREG(status.st_mode) || S_ISLNK(status.st_mode) ? qint64(status.st_size) : -1;
}

// Unpacks the entries into `dir`, a run of `unzip` for each batch of sizes,
// whose files may grow no larger than its largest size and one byte: a file
// found larger than its listed size is refused, and so is one that came out
// smaller.
std::optional<Outcome> unpackEntries(const QString& archive, const QList<ArchiveListing::Entry>& entries,
                                     const QString& dir, const QDeadlineTimer& deadline)
{
    const auto wrongSize = [](const ArchiveListing::Entry& entry) {
        return failed(notUnpackedBecause(
            QStringLiteral("%1 is not the %2 bytes the archive lists for it").arg(entry.name).arg(entry.size)));
    };
    for (const QList<ArchiveListing::Entry>& batch : ArchiveListing::batches(entries)) {
        // -o: an archive naming a file twice must not stop at a question.
        QStringList arguments { QStringLiteral("-q"), QStringLiteral("-o"), archive };
        for (const ArchiveListing::Entry& entry : batch)
            arguments << ArchiveListing::pattern(entry.name);
        arguments << QStringLiteral("-d") << dir;
        const ToolRun::Result unzip
            = ToolRun::run(QStringLiteral("unzip"), arguments, deadline, batch.first().size + 1);
        if (unzip.timedOut)
            return failed(notUnpackedBecause(QStringLiteral("unpacking ") + tooLong));
        // One look at each file: one larger than listed is refused whatever
        // unzip says, one of another size after unzip's own failure.
        const ArchiveListing::Entry* otherSize = nullptr;
        if (!batch.first().name.endsWith(u'/')) {
            for (const ArchiveListing::Entry& entry : batch) {
                const qint64 size = sizeOnDisk(dir, entry);
                if (size > entry.size)
                    return wrongSize(entry);
                if (size != entry.size && !otherSize)
                    otherSize = &entry;
            }
        }
        if (!unzip.ok)
            return unzipFailed(unzip);
        if (otherSize)
            return wrongSize(*otherSize);
    }
    return std::nullopt;
}

Outcome unpack(const Job& job, const QString& archive, const QString& app)
{
    const QDeadlineTimer deadline(job.stepLimit);
    // `listed`: the run that lists, whose flood on its standard output is
    // a listing too large; another flood is told as unzip's own.
    const auto listingFailed = [&](const ToolRun::Result& run, bool listed) -> std::optional<Outcome> {
        if (run.timedOut)
            return failed(notUnpackedBecause(QStringLiteral("unpacking ") + tooLong));
        if (run.listedTooMuch && listed)
            return failed(notUnpackedBecause(QStringLiteral("its listing is larger than %1")
                                                 .arg(ByteSize::text(ToolRun::maxOutputBytes))));
        if (!run.ok)
            return unzipFailed(run);
        return std::nullopt;
    };
    // The entries counted first, by the archive's word and by a walk through
    // them that lists nothing: the listing of millions of entries would take
    // long and much memory before it could be refused.
    const ToolRun::Result counts = ToolRun::run(
        QStringLiteral("unzip"), { QStringLiteral("-Z"), QStringLiteral("-h"), QStringLiteral("-t"), archive }, deadline);
    if (const QString problem = ArchiveListing::countProblem(counts.output); !problem.isEmpty())
        return failed(notUnpackedBecause(problem));
    if (std::optional<Outcome> failure = listingFailed(counts, false))
        return *failure;
    ToolRun::Result listing = ToolRun::run(
        QStringLiteral("unzip"), { QStringLiteral("-Z"), QStringLiteral("-T"), QStringLiteral("-s"), archive }, deadline);
    if (std::optional<Outcome> failure = listingFailed(listing, true))
        return *failure;
    const std::expected<QList<ArchiveListing::Entry>, QString> entries = ArchiveListing::read(listing.output);
    listing.output = {}; // what it held is in the entries now
    if (!entries)
        return failed(notUnpackedBecause(entries.error()));
    if (const QString problem = ArchiveListing::problem(*entries, job.maxUnpackedBytes); !problem.isEmpty())
        return failed(notUnpackedBecause(problem));

    // Beside the application folder, so the script's moves stay on one file
    // system and each is a single rename. Removed again unless the update
    // is handed to the script.
    QTemporaryDir dir(QFileInfo(app).absolutePath() + u'/' + QLatin1String(UpdateLeftovers::unpackPrefix)
                      + QStringLiteral("XXXXXX"));
    if (!dir.isValid())
        return failed(notWritten(QFileInfo(app).absolutePath(), errno));
    if (std::optional<Outcome> failure = unpackEntries(archive, *entries, dir.path(), deadline))
        return *failure;

    // The archive holds one folder, "Corvanta": this application, at the
    // announced version, with a program to start.
    const QString newApp = dir.path() + QStringLiteral("/Corvanta");
    if (QFileInfo(newApp).isSymLink())
        return failed(notExpected);
    const std::optional<AppManifest> manifest = AppManifest::read(newApp);
    if (!manifest || manifest->id != AppManifest::appId() || manifest->version != job.release.version)
        return failed(notExpected);
    const QFileInfo program(newApp + QStringLiteral("/bin/corvanta"));
    if (program.isSymLink() || !program.isFile() || !program.isExecutable())
        return failed(notExpected);
    if (const QString link = linkLeadingOut(newApp); !link.isEmpty())
        return failed(
            notUnpackedBecause(QStringLiteral("it holds a link that points outside its folder (%1)").arg(link)));

    if (std::optional<Outcome> failure = carryEngine(job, app, newApp))
        return *failure;
    // The program quits: the new version goes with its folder.
    if (stopAsked())
        return failed(stopped);
    dir.setAutoRemove(false);
    return { Kind::replace, {}, {}, false, app, {}, {}, newApp };
}

} // namespace

FileWords::Said notWritten(const QString& folder, int error)
{
    return FileWords::said(QStringLiteral("The update could not be written to %1").arg(folder), error);
}

FileWords::Said notRead(const QString& file, int error)
{
    return FileWords::said(QStringLiteral("The download %1 could not be read").arg(file), error);
}

Outcome run(const Job& job)
{
    Outcome failure;
    const std::optional<QString> checksum = checksumOf(job.download, &failure);
    if (!checksum) {
        QFile::remove(job.download);
        return failure;
    }
    if (*checksum != job.release.sha256.toLower()) {
        QFile::remove(job.download);
        return failed(QStringLiteral("The download is damaged (its checksum doesn't match). Please try again later."));
    }
    const QString archive = job.download + QStringLiteral(".zip"); // a name the next start knows
    QFile::remove(archive);
    if (QFile file(job.download); !file.rename(archive)) {
        const int error = errno;
        QFile::remove(job.download);
        return failed(notWritten(job.tempFolder, error));
    }

    const QString app = AppManifest::installFolder(job.programDir);
    const QString folder = app.isEmpty() ? job.programDir : QFileInfo(app).absolutePath();
    if (const auto [why, place] = whyNotInPlace(app, folder, job.programDir); !why.isEmpty()) {
        // Named in the text the user reads: the folder it would have
        // replaced when that is what holds more than Corvanta.
        const bool shared = !app.isEmpty() && isWritable(folder) && isWritable(app);
        Outcome outcome = toDownloads(job, archive, shared ? app : folder, why);
        outcome.place = place;
        if (outcome.kind == Kind::failed)
            QFile::remove(archive);
        return outcome;
    }

    // A backup an earlier update could not delete would stop the script
    // after this program has quit; find out now, while the user can be told.
    // Anything else of that name is the user's, and stays. A backup may hold
    // the only copy of the user's engine (an update that ended with the old
    // version in it, then a fresh install): it goes only once that is kept.
    // What a copy out of a backup that was cut short left goes first: it
    // would be carried into the new version with the user's engine.
    UpdateLeftovers::removeCarries(app + QLatin1String(UpdateLeftovers::engineFolder), std::chrono::milliseconds(0));
    const QString backup = app + QLatin1String(UpdateLeftovers::backupSuffix);
    if (const QFileInfo stale(backup); stale.exists() || stale.isSymLink()) {
        QString why = QStringLiteral("%1 is in the way, and it is not a backup of Corvanta. Please move it elsewhere");
        if (UpdateLeftovers::isBackup(backup)) {
            if (std::optional<Outcome> failure = keepEngineOf(backup, app, QDeadlineTimer(job.stepLimit))) {
                QFile::remove(archive);
                return *failure;
            }
            QDir(backup).removeRecursively();
            why = QStringLiteral("%1, left by an earlier update, cannot be deleted. Please delete it");
        }
        if (QFileInfo(backup).exists() || QFileInfo(backup).isSymLink()) {
            QFile::remove(archive);
            return failed(QStringLiteral("Corvanta can't replace itself: ") + why.arg(backup)
                              + QStringLiteral(" and check for updates again."),
                          true);
        }
    }

    Outcome outcome = unpack(job, archive, app);
    QFile::remove(archive);
    return outcome;
}

} // namespace ReleaseUnpacker
