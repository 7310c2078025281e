#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What an update archive holds, read from its listing before anything is
// unpacked, and the rules an archive must keep to be unpacked into a folder
// of its own.
namespace ArchiveListing {

struct Entry {
    QString name;    // as stored; a folder's ends in "/"
    qint64 size = 0; // unpacked bytes, as the archive announces them
    bool isLink = false;

    bool operator==(const Entry&) const = default;
};

// Reads what `unzip -Z -T -s ARCHIVE` prints: the "Archive:" and
// "Zip file size: ..., number of entries: N" lines, one line per entry
//   -rw-r--r--  3.0 unx     1234 tx defN 20240101.120000 Corvanta/bin/corvanta
// and a totals line. None when a line is none of these or the number of
// entries does not match the header.
std::optional<QList<Entry>> read(const QByteArray& text);

// Why the entries must not be unpacked: a name that is absolute or climbs
// out with "..", one name twice, an entry inside a link (unpacking it
// would write wherever the link points), or more than `maxBytes` unpacked
// in all. Empty when they may be unpacked. The text continues
// "The download couldn't be unpacked: ".
QString problem(const QList<Entry>& entries, qint64 maxBytes);

} // namespace ArchiveListing
