#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Application folders and update archives made at test time, the way a
// release is packed: one top folder "Corvanta" holding the manifest
// "corvanta.json" and bin/corvanta.
namespace UpdateFixture {

// A program standing in for bin/corvanta: a shell script that writes
// `text` into `marker` when started.
QByteArray markerProgram(const QString& marker, const QByteArray& text);

// Writes `folder`/corvanta.json with the id and version and an executable
// `folder`/bin/corvanta with the program text (none when it is empty).
void makeAppFolder(const QString& folder, const QString& id, const QString& version, const QByteArray& program);

// The zip archive of `folder` (its own name becomes the archive's top
// folder), made with the zip tool; empty when zip failed.
QByteArray zipFolder(const QString& folder);

// An archive with one folder "Corvanta" made by makeAppFolder.
QByteArray appArchive(const QString& id, const QString& version, const QByteArray& program);

// One entry of a zip archive written by storedZip(): a file, a program (an
// executable file), a folder (its name ends in "/") or a link (its data is
// the target).
struct ZipEntry {
    QString name;
    QByteArray data;
    enum class Kind { file, program, folder, link } kind = Kind::file;
    // The size the headers give, when it is not the data's: the entry is
    // then deflated, and the stream, not the headers, says where it ends.
    qint64 listedSize = -1;
};

// A zip archive of `entries`, uncompressed unless they lie about their size,
// written byte by byte: it can hold what the zip tool would not write (links
// with files inside them, names that climb out, one name twice, sizes that
// lie).
QByteArray storedZip(const QList<ZipEntry>& entries);

// Every entry below `folder` with its mode, link target and content hash:
// what "untouched" is checked against.
QStringList snapshot(const QString& folder);

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

} // namespace UpdateFixture
