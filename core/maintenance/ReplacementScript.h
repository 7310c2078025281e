#pragma once

#include <QString>
#include <QStringList>

// The /bin/sh script that puts an update in place once the running program
// has ended. It is started detached with the arguments from arguments() and
// outlives the application:
//
//   1. waits (polling every 0.2 s, without limit) until the old process is gone;
//   2. deletes a stale backup left by an earlier, interrupted replacement;
//   3. moves the old folder aside to FOLDER.updating and the new one into its
//      place, then deletes the backup. If moving the new folder in fails,
//      whatever part of it arrived is removed and the old folder is moved
//      back, so the user always keeps a working application. A stale backup
//      that cannot be deleted leaves the old folder where it is: moving it
//      onto an existing folder would put it inside that one;
//   4. deletes the unpack folder that held the new folder;
//   5. starts FOLDER/bin/corvanta detached (the new version, or the old one
//      when it was restored);
//   6. deletes itself.
namespace ReplacementScript {

QString text();

// The shell's arguments: the script's path, the old process's id, the new
// application folder and the folder it replaces.
QStringList arguments(const QString& scriptPath, qint64 processId, const QString& newFolder, const QString& oldFolder);

} // namespace ReplacementScript
