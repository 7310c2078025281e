#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <expected>

// Why a file could not be saved, in words for the user: the disk is full,
// the folder is not writable, or the system's own reason.
struct SaveError {
    QString message;

    friend bool operator==(const SaveError&, const SaveError&) = default;
};

// Files written whole or not at all: the bytes go to a hidden temporary
// sibling (".name.corvanta-save-XXXXXX") that replaces the file only once it
// is complete and on disk, so a crash or a full disk never leaves a torn
// file behind.
namespace AtomicFile {

// Writes the bytes to `path`, making its folder first; a link is followed to
// the file it names. On failure the old file, if any, is left as it was.
std::expected<void, SaveError> write(const QString& path, const QByteArray& bytes);

// Why nothing can be saved in `folder` when the writer itself gave no
// reason (QSettings does not): the folder cannot be made, the disk is full,
// or else the folder is not writable.
SaveError whyNotSaved(const QString& folder);

// Removes the temporary siblings of `path` that a save of write() cut
// short by a kill or a crash left behind, when they were last written more
// than `age` before `now`; a younger one may belong to a save under way in
// another instance. Only that name is taken: "path.Backup", "path.old123"
// and the temporaries of other writers (QSaveFile's "path.XXXXXX" look just
// like the first two) stay. Returns how many went.
int removeLeftovers(const QString& path, std::chrono::seconds age,
                    const QDateTime& now = QDateTime::currentDateTimeUtc());

// The usual age for removeLeftovers(): no save takes a minute.
inline constexpr std::chrono::seconds leftoverAge { 60 };

// Whether `suffix` is the six letters or digits that QTemporaryFile and
// QTemporaryDir put in place of "XXXXXX".
bool isTemporarySuffix(QStringView suffix);

} // namespace AtomicFile
