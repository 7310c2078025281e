#include "support/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace {

// Less free room than this counts as a full disk: nothing the program
// saves is larger.
constexpr qint64 nearlyFull = 64 * 1024;

SaveError diskFull() { return { QStringLiteral("the disk is full") }; }

SaveError notWritable(const QString& folder, const QString& reason)
{
    QString message = QStringLiteral("the folder %1 is not writable").arg(QDir::toNativeSeparators(folder));
    if (!reason.isEmpty())
        message += QStringLiteral(" (") + reason + u')';
    return { message };
}

// The temporary sibling of a save is hidden and named after its file and
// the program, ".name.corvanta-save-" and six letters, so a leftover of a
// cut-short save is never taken for a copy the user named "name.Backup".
QString temporaryPrefix(const QFileInfo& target)
{
    return u'.' + target.fileName() + QStringLiteral(".corvanta-save-");
}

// QTemporaryFile opens buffered unless told otherwise, which only a
// subclass may do.
class UnbufferedTemporaryFile : public QTemporaryFile {
public:
    using QTemporaryFile::QTemporaryFile;
    bool openUnbuffered() { return open(QIODevice::ReadWrite | QIODevice::Unbuffered); }
};

} // namespace

namespace AtomicFile {

bool isTemporarySuffix(QStringView suffix)
{
    if (suffix.size() != 6)
        return false;
    for (QChar c : suffix)
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return false;
    return true;
}

std::expected<void, SaveError> write(const QString& path, const QByteArray& bytes)
{
    // Through a link, the file it names is the one replaced.
    QFileInfo target(path);
    for (int hops = 0; hops < 32 && target.isSymLink(); ++hops)
        target.setFile(target.symLinkTarget());
    const QString folder = target.absolutePath();
    QDir().mkpath(folder); // a failure shows when the file is opened
    UnbufferedTemporaryFile file(folder + u'/' + temporaryPrefix(target) + QStringLiteral("XXXXXX"));
    // Unbuffered, so a write the disk cut short is seen here as short, not
    // as an "Unknown error" when the buffer is flushed at the end.
    if (!file.openUnbuffered()) {
        const SaveError why = whyNotSaved(folder);
        return std::unexpected(why == notWritable(folder, {}) ? notWritable(folder, file.errorString()) : why);
    }
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        // Only a full disk (or quota) ends a write to a local file part-way;
        // one that wrote nothing names its reason.
        const bool full = written >= 0 || file.error() == QFileDevice::ResourceError;
        return std::unexpected(full ? diskFull() : SaveError { file.errorString() });
    }
    // A file replaced keeps its permissions; a new one is the user's alone.
    if (target.exists())
        file.setPermissions(target.permissions());
    if (::fsync(file.handle()) != 0)
        return std::unexpected(errno == ENOSPC || errno == EDQUOT ? diskFull() : SaveError { qt_error_string(errno) });
    // Asking for the name gives the file one where the system made it
    // without (O_TMPFILE); the rename then replaces the old file at once.
    const QString temporary = file.fileName();
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target.absoluteFilePath()).constData())
        != 0)
        return std::unexpected(SaveError { qt_error_string(errno) });
    file.setAutoRemove(false);
    return {};
}

SaveError whyNotSaved(const QString& folder)
{
    if (!QFileInfo(folder).isDir())
        return { QStringLiteral("the folder %1 could not be made").arg(QDir::toNativeSeparators(folder)) };
    const QStorageInfo storage(folder);
    if (storage.isValid() && storage.bytesAvailable() < nearlyFull)
        return diskFull();
    return notWritable(folder, {});
}

int removeLeftovers(const QString& path, std::chrono::seconds age, const QDateTime& now)
{
    const QFileInfo target(path);
    const QString prefix = temporaryPrefix(target);
    int removed = 0;
    const QFileInfoList candidates
        = target.absoluteDir().entryInfoList({ prefix + QStringLiteral("??????") },
                                               QDir::Files | QDir::Hidden | QDir::System | QDir::CaseSensitive);
    for (const QFileInfo& file : candidates) {
        if (!isTemporarySuffix(QStringView(file.fileName()).sliced(prefix.size())))
            continue;
        // One dated ahead by a wrong clock is no save under way either.
        const QDateTime modified = file.lastModified().toUTC();
        if (modified.isValid() && std::abs(modified.secsTo(now)) <= age.count())
            continue;
        removed += QFile::remove(file.absoluteFilePath()) ? 1 : 0;
    }
    return removed;
}

} // namespace AtomicFile
