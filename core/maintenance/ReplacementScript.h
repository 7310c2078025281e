#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The /bin/sh script that puts an update in place once the running program
// has ended. It is started detached with the arguments from arguments() and
// outlives the application:
//
//   1. waits (polling every 0.2 s, without limit) until the old process is
//      gone: ended (a zombie too), or its pid names a process started later;
//   2. exchanges the new folder and the old one in one step, with this
//      program's --exchange-folders mode, so a kill or a power cut at any
//      moment leaves a whole version at FOLDER; when that program fails, the
//      version that FOLDER's manifest names tells whether it swapped them
//      before it died. Where the file system cannot exchange, it deletes a
//      stale backup left by an earlier, interrupted replacement (only a
//      real folder of this user's holding this application's manifest and
//      none of the user's engine, as this program's --leftover-holds-engine
//      mode says: any other FOLDER.updating, or a backup that cannot be
//      deleted, leaves the old folder where it is; the updater looks for one
//      before it quits, so this is the rare race), renames the old folder
//      aside to FOLDER.updating and the new one into its place, then
//      deletes the backup. When the new folder cannot move in, the old one
//      is renamed back (the three renames run in a process of their own,
//      which a kill of the script alone does not stop half way), or, when
//      that fails too, copied beside it and the
//      copy renamed into place, so FOLDER never holds half a copy; only
//      when even that fails is the program started from the backup;
//   3. deletes the unpack folder that held the new folder (after the
//      exchange, the old version);
//   4. writes what happened to the outcome file, which the next start logs
//      and, when the update failed, shows (readOutcome);
//   5. starts FOLDER/bin/corvanta detached (the new version, or the old one);
//   6. deletes itself.
//
// From the exchange until the outcome is written the script ignores the
// signals a logout sends (TERM, HUP, INT, QUIT), and so do the commands it
// runs; only a SIGKILL between the two renames can leave nothing at FOLDER.
// Renames use `mv -T`, so a folder never lands inside another of its name.
// The program that exchanges is the running one, which wrote the script.
namespace ReplacementScript {

QString text();

// The shell's arguments: the script's path, the old process's id, the new
// application folder, the folder it replaces, the outcome file, the new
// version (for the outcome's text) and the program whose --exchange-folders
// mode swaps the folders.
QStringList arguments(const QString& scriptPath, qint64 processId, const QString& newFolder, const QString& oldFolder,
                      const QString& outcomeFile, const QString& version, const QString& program);

// `corvanta --exchange-folders FIRST SECOND`, run before the application
// object exists: swaps the two paths in one step (renameat2 with
// RENAME_EXCHANGE). Returns the exit status, 0 when they were swapped;
// otherwise says why on standard error (the file system cannot, a path is
// missing) and nothing changed.
inline constexpr const char* exchangeOption = "--exchange-folders";
int exchangeFolders(const char* first, const char* second);

// `corvanta --leftover-holds-engine LEFTOVER FOLDER`, run the same way:
// exits 0 when LEFTOVER holds the user's engine, files of it that FOLDER
// lacks (UpdateLeftovers::holdsUsersEngine), 1 when it does not. The script
// deletes a backup only on a 1, so a program that cannot answer keeps it.
inline constexpr const char* holdsEngineOption = "--leftover-holds-engine";
int leftoverHoldsEngine(const char* leftover, const char* app);

// What a replacement left in its outcome file: whether the new version is in
// place, the text for the log (and, after a failure, for the user), and
// what a tool said of a failure, for the log alone.
struct Outcome {
    bool updated = false;
    QString text;
    QString detail;

    bool operator==(const Outcome&) const = default;
};

// Reads the outcome file and deletes it. None when there is no file; an
// unreadable or strange file counts as a failure with what it says, cut to
// a few thousand characters.
std::optional<Outcome> takeOutcome(const QString& outcomeFile);

} // namespace ReplacementScript
