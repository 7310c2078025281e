#include "support/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

#include <cstdlib>

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

// Qt's random six letters (either case). A word in lower case alone
// ("backup", "before") is taken as the user's own copy and left alone.
bool isLeftoverSuffix(QStringView suffix)
{
    if (suffix.size() != 6)
        return false;
    bool lowerOnly = true;
    for (QChar c : suffix) {
        const bool lower = c >= u'a' && c <= u'z';
        if (!(lower || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return false;
        lowerOnly &= lower;
    }
    return !lowerOnly;
}

} // namespace

namespace AtomicFile {

std::expected<void, SaveError> write(const QString& path, const QByteArray& bytes)
{
    const QString folder = QFileInfo(path).absolutePath();
    QDir().mkpath(folder); // a failure shows when the file is opened
    QSaveFile file(path);
    // Unbuffered, so a write the disk cut short is seen here as short, not
    // as an "Unknown error" when the buffer is flushed at commit.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const SaveError why = whyNotSaved(folder);
        return std::unexpected(why == notWritable(folder, {}) ? notWritable(folder, file.errorString()) : why);
    }
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        // Only a full disk (or quota) ends a write to a local file part-way;
        // one that wrote nothing names its reason.
        const bool full = written >= 0 || file.error() == QFileDevice::ResourceError;
        const SaveError error = full ? diskFull() : SaveError { file.errorString() };
        file.cancelWriting();
        return std::unexpected(error);
    }
    if (!file.commit())
        return std::unexpected(SaveError { file.errorString() });
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
    const QString prefix = target.fileName() + u'.';
    QDir folder = target.absoluteDir();
    int removed = 0;
    const QFileInfoList candidates
        = folder.entryInfoList({ prefix + QStringLiteral("??????") },
                               QDir::Files | QDir::Hidden | QDir::System | QDir::CaseSensitive);
    for (const QFileInfo& file : candidates) {
        if (!isLeftoverSuffix(QStringView(file.fileName()).sliced(prefix.size())))
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
