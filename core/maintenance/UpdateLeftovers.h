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
//     APP;
//   - in the temporary folder, the download ("corvanta-download-XXXXXX"),
//     the archive it becomes once its checksum holds (the same name and
//     ".zip"), and the replacement script ("corvanta-update-UUID.sh").
//
// Both are removed at the next start, but only when they are certainly the
// update's own: a real folder of this user, of that exact name, holding no
// more than the update puts there (an unpack folder only the folders
// "Corvanta" and "previous"; the backup a manifest of this application; a
// temporary file a plain file), and nothing in it changed for `age`, so an
// update under way in another instance keeps its own. Anything in doubt stays, and so does a leftover
// whose bin/ITU holds an entry the installed folder's lacks: it may hold
// the only copy of the user's P.533 engine (a replacement cut short, then
// the application installed afresh at APP).
namespace UpdateLeftovers {

// What the update names them: the unpack folder is this and QTemporaryDir's
// six letters, the backup APP and this.
inline constexpr char unpackPrefix[] = ".corvanta-update-";
inline constexpr char backupSuffix[] = ".updating";
// The download is this and QTemporaryFile's six letters, the replacement
// script this, a UUID and ".sh".
inline constexpr char downloadPrefix[] = "corvanta-download-";
inline constexpr char scriptPrefix[] = "corvanta-update-";
// The user's P.533 engine within an installed folder, carried into each new version.
inline constexpr char engineFolder[] = "/bin/ITU";

// Whether `path` is a backup of this application: a real folder of this
// user's that holds this application's manifest.
bool isBackup(const QString& path);

// What of a leftover's engine is copied into the installed engine folder
// goes first into a carry folder beside its place, named this and
// QTemporaryDir's six letters, which gets the mark carryMark before
// anything else (the copies go into a folder beside it, so that an entry
// of the user's may bear the mark's name), and is renamed into place only
// when whole. A carry folder with its mark holds no file of the user's,
// only a copy cut short; a folder of that name without it is the user's,
// like any other. No release may name either (ArchiveListing::problem).
inline constexpr char carryPrefix[] = ".corvanta-carry-";
inline constexpr char carryMark[] = ".corvanta-carry";

// Whether `path` is a carry folder: named so, a real folder of this user's,
// holding the mark as a file.
bool isCarry(const QString& path);

// The entries of a leftover's engine folder `engine` that the installed
// engine folder `installed` lacks, as paths below it ("/Data/beam.ant"): a
// file or link whose name the installed folder holds no entry of, whatever
// its kind, and a folder where it holds no folder (a folder it lacks is one
// entry, not its files; a file of the user's, or a link to one, never
// stands in for a folder, though it is never replaced by it either). Looks
// into the folders both hold, but never into a link of the leftover's, nor
// into a carry folder. Stops after `most`. A folder of the leftover's that
// cannot be read may hold anything: `unreadable` gets the first, and why.
QStringList lackedEntries(const QString& engine, const QString& installed, qsizetype most, QString* unreadable);

// Whether the leftover `path` beside the installed folder `app` holds the
// user's engine: an entry of its engine folder (a backup's own, an unpack
// folder's in the folders within it) that the installed folder's lacks, or
// a folder there that cannot be read, whose path and error `why` then gets.
// The one answer for the start and the replacement script (which asks the
// program), which keep such a leftover, and for the update before the
// program quits, which first copies those entries into `app`.
bool holdsUsersEngine(const QString& path, const QString& app, QString* why = nullptr);

struct Cleanup {
    QStringList removed;
    QStringList kept; // for the engine they hold, with why when a folder of it cannot be read
};

// Removes the leftovers beside `app`, and the carry folders in its engine
// folder; says which went and which were kept for their engine.
Cleanup remove(const QString& app, std::chrono::milliseconds age,
               const QDateTime& now = QDateTime::currentDateTimeUtc());

// Removes the update's files in the temporary folder `temp` that nothing
// changed for `age`, and nothing else there; says which.
QStringList removeTemporaries(const QString& temp, std::chrono::milliseconds age,
                              const QDateTime& now = QDateTime::currentDateTimeUtc());

// Removes the carry folders below the installed engine folder `engine`
// (never through a link) that nothing changed in for `age`; says which.
QStringList removeCarries(const QString& engine, std::chrono::milliseconds age,
                          const QDateTime& now = QDateTime::currentDateTimeUtc());

} // namespace UpdateLeftovers
