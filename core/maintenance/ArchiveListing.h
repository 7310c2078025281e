#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <expected>

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
// and a totals line. Why not, when a line is none of these or the number of
// entries does not match the header's; the text continues as problem()'s
// does.
std::expected<QList<Entry>, QString> read(const QByteArray& text);

// The most entries a release may list. It holds about 50 files, and unzip
// compares each entry of a run with every name the run was given: a few
// hundred thousand would take longer than the time limit allows.
inline constexpr qsizetype maxEntries = 10000;

// Why an archive must not even be listed: `unzip -Z -h -t`'s answer counts
// more than maxEntries, whose listing would take long and much memory to
// read. It holds two counts, and either may be the larger: the header's
// (the "number of entries" line read() reads, which unzip takes from the
// archive's end record, where it wraps past 65,535 unless a zip64 record
// holds it), and the totals of unzip's walk through the central directory
// ("200053 files, ..."), which lists nothing. Empty otherwise; the text
// continues as problem()'s does.
QString countProblem(const QByteArray& counts);

// Why the entries must not be unpacked: more than maxEntries of them, a
// name that is absolute, climbs out with "..", holds "." or an empty step
// or a backslash, one name twice, an entry inside a link (unpacking it would write
// wherever the link points), a name the update keeps for its own work in
// the user's engine folder (UpdateLeftovers' carry folders and their mark:
// a later start would take a folder of the user's that the release merged
// into for one of them), or more than `maxBytes` unpacked in all.
// Empty when they may be unpacked. The text continues
// "The download couldn't be unpacked: ".
QString problem(const QList<Entry>& entries, qint64 maxBytes);

// The entries in the runs of `unzip` that unpack them, each run with the
// listed sizes of one power of two, largest first, so that the size limit
// of its files can be the first one's size: a file that holds more than its
// listing says is stopped at twice its size at most instead of filling the
// disk, and the size check after the run finds it. However many sizes the
// archive lists, the runs are a few dozen at most. Files come first, then
// links (unzip makes a run's links at its end, and no later run may write
// through one), then folders (whose modes, a read-only one perhaps, are set
// at the end of their run). A run is split further where its patterns
// would pass maxPatternBytes.
QList<QList<Entry>> batches(const QList<Entry>& entries);

// The most bytes of patterns one run of `unzip` is given. Linux refuses a
// command whose arguments and environment together pass its limit, which
// is 128 KiB where the stack is small.
inline constexpr qsizetype maxPatternBytes = 64 * 1024;

// The name as a pattern that `unzip` matches to this entry alone: its
// wildcards and escape character escaped, and a leading "-" too, which would
// be taken for an option.
QString pattern(const QString& name);

} // namespace ArchiveListing
