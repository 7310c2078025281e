#pragma once

#include "maintenance/ReleaseFeed.h"
#include "support/FileWords.h"

#include <QString>

#include <chrono>

// The self-update's file work between the download and the restart, run
// on a thread of its own (it blocks for as long as hashing, listing,
// unpacking and copying take, so never on the main thread, nor on the
// shared pool, where it would hold up the short jobs):
//
//   1. checks the download's SHA-256 and gives it its temporary name;
//   2. decides where the release goes: in place of the installed folder
//      only when the program runs from one, the folder and the folder that
//      holds it are writable, and it holds nothing but what the install put
//      there (AppManifest); otherwise the archive goes to the Downloads
//      folder for the user to install by hand;
//   3. deletes a backup left by an earlier update, once what of the user's
//      engine only the backup holds is copied into the installed engine
//      folder (and so carried along in step 6), the entries of each folder
//      in one copy (a few for many names) under a temporary name, each
//      renamed into place whole; stops when it can't do
//      either, when a copy failed, or when a folder or file of that name is
//      not such a backup;
//   4. refuses an archive that holds more entries than a release may, by
//      its header's count or by unzip's walk through them, which lists
//      nothing; then reads its listing (no more than
//      ToolRun::maxOutputBytes of it) and refuses it when it would unpack
//      to more than the limit, names paths outside its folder, with a
//      backslash or of the update's own carry folders, or puts entries
//      inside a link; unpacks
//      it with `unzip` beside the installed
//      folder, no file larger than twice its listed size, and refuses it
//      when a file's size on disk is not the listed one;
//   5. checks that it is this application at the announced version, with a
//      program to start and no link pointing out of its folder;
//   6. carries the user's P.533 engine folder bin/ITU into the new folder
//      (modes, times and links kept), since the release brings none.
//
// Unpacking and copying each have a time limit, so a disk that stops
// answering ends the update with a message. When the thread is asked to
// stop (the program quits), the checksum stops at its next piece and a tool
// under way is killed; the work then ends as a failure that no one reads,
// and removes what it made on its way out. A tool's complaint reaches the
// user cut to a few lines, without the unpack folder's path and with the
// files found damaged counted, the log in full.
namespace ReleaseUnpacker {

struct Job {
    QString download; // the downloaded file in the temporary folder
    ReleaseFeed::Release release;
    QString programDir; // folder of the running bin/corvanta
    QString tempFolder;
    QString downloadsFolder;
    qint64 maxUnpackedBytes = qint64(1) << 30;
    std::chrono::milliseconds stepLimit { 10 * 60 * 1000 }; // for unpacking, and for copying the engine
};

struct Outcome {
    enum class Kind { failed, handInstall, replace };
    // handInstall: what keeps the program from replacing its folder.
    enum class Place { notInstalled, notWritable, shared, unreadable };
    Kind kind = Kind::failed;
    QString message;      // failed: what the user reads
    QString logText;      // failed: what the log keeps, when more than the message
    bool lasting = false; // failed: the same release would fail again in this run
    QString folder;       // handInstall: the folder it can't replace itself in; replace: the installed folder
    QString why;          // handInstall: why, for the log
    QString archive;      // handInstall: the archive in the Downloads folder
    QString newFolder;    // replace: the unpacked application folder
    Place place = Place::notInstalled;
};

Outcome run(const Job& job);

// The update's words for a folder it could not write in, or a file it
// could not read, with the cause by the system's error number.
FileWords::Said notWritten(const QString& folder, int error);
FileWords::Said notRead(const QString& file, int error);

} // namespace ReleaseUnpacker
