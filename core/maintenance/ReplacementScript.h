#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The /bin/sh script that puts an update in place once the running program
// has ended. It is started detached with the arguments from arguments() and
// outlives the application:
//
//   1. waits (polling every 0.2 s, without limit) until the old process is gone;
//   2. deletes a stale backup left by an earlier, interrupted replacement; a
//      backup that cannot be deleted leaves the old folder where it is
//      (the updater looks for one before it quits, so this is the rare race);
//   3. renames the old folder aside to FOLDER.updating and the new one into
//      its place, then deletes the backup. When the new folder cannot move
//      in, the old one is renamed back, or, when that fails too, copied back;
//      only when even the copy fails is the program started from the backup;
//   4. deletes the unpack folder that held the new folder;
//   5. writes what happened to the outcome file, which the next start logs
//      and, when the update failed, shows (readOutcome);
//   6. starts FOLDER/bin/corvanta detached (the new version, or the old one);
//   7. deletes itself.
//
// Renames use `mv -T`, so a folder never lands inside another of its name.
namespace ReplacementScript {

QString text();

// The shell's arguments: the script's path, the old process's id, the new
// application folder, the folder it replaces, the outcome file and the new
// version (for the outcome's text).
QStringList arguments(const QString& scriptPath, qint64 processId, const QString& newFolder, const QString& oldFolder,
                      const QString& outcomeFile, const QString& version);

// What a replacement left in its outcome file: whether the new version is in
// place, and the text for the log (and, after a failure, for the user).
struct Outcome {
    bool updated = false;
    QString text;

    bool operator==(const Outcome&) const = default;
};

// Reads the outcome file and deletes it. None when there is no file; an
// unreadable or strange file counts as a failure with what it says, cut to
// a few thousand characters.
std::optional<Outcome> takeOutcome(const QString& outcomeFile);

} // namespace ReplacementScript
