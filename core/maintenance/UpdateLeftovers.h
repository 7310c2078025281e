#pragma once

#include <QDateTime>
#include <QStringList>

#include <chrono>

// What an update cut short (a kill, a logout, a power cut) leaves beside
// the installed folder APP:
//
//   - hidden unpack folders ".corvanta-update-XXXXXX" (six letters or
//     digits), each holding a new version with a copy of the user's engine,
//     or the old version after the swap, or the script's copy of it;
//   - APP.updating, the old version moved aside, once the new one stands at
//     APP.
//
// Both are removed at the next start, but only when they are certainly the
// update's own: a real folder of this user, of that exact name, holding no
// more than the update puts there (an unpack folder only the folders
// "Corvanta" and "previous"; the backup a manifest of this application),
// and nothing in it changed for `age`, so an update under way in another
// instance keeps its own. Anything in doubt stays, and so does a leftover
// whose bin/ITU holds a file the installed folder's lacks: it may hold the
// only copy of the user's P.533 engine (a replacement cut short, then the
// application installed afresh at APP).
namespace UpdateLeftovers {

// What the update names them: the unpack folder is this and QTemporaryDir's
// six letters, the backup APP and this.
inline constexpr char unpackPrefix[] = ".corvanta-update-";
inline constexpr char backupSuffix[] = ".updating";
// The user's P.533 engine within an installed folder, carried into each new version.
inline constexpr char engineFolder[] = "/bin/ITU";

// Whether `path` is a backup of this application: a real folder of this
// user's that holds this application's manifest.
bool isBackup(const QString& path);

// Whether the leftover `path` beside the installed folder `app` holds the
// user's engine: a file or link in its engine folder (a backup's own, an
// unpack folder's in the folders within it) that the installed folder's
// lacks. The one answer for the start and the replacement script (which
// asks the program), which keep such a leftover, and for the update before
// the program quits, which first copies those files into `app`.
bool holdsUsersEngine(const QString& path, const QString& app);

struct Cleanup {
    QStringList removed;
    QStringList kept; // for the engine they hold
};

// Removes the leftovers beside `app`; says which went and which were kept
// for their engine.
Cleanup remove(const QString& app, std::chrono::milliseconds age,
               const QDateTime& now = QDateTime::currentDateTimeUtc());

} // namespace UpdateLeftovers
