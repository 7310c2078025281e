// The listing `unzip -Z -T -s` prints of an update archive, which names
// whatever the archive's maker chose, and the rules an archive must keep to
// be unpacked, and the runs of unzip that unpack it. The first byte sets the
// size limit.

#include "FuzzSupport.h"

#include "maintenance/ArchiveListing.h"

#include <algorithm>
#include <bit>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Fuzz::Input input(data, size);
    const qint64 maxBytes = qint64(input.byte()) << 10;
    auto entries = ArchiveListing::read(input.rest());
    if (!entries)
        return 0;

    // Written back as unzip writes it, it reads the same.
    QByteArray listing
        = "Archive:  a.zip\nZip file size: 1 bytes, number of entries: " + QByteArray::number(entries->size()) + "\n";
    for (const ArchiveListing::Entry& entry : *entries) {
        FUZZ_CHECK(!entry.name.isEmpty());
        FUZZ_CHECK(entry.size >= 0);
        listing += (entry.isLink ? "lrwxrwxrwx" : "-rw-r--r--") + QByteArray("  3.0 unx ")
            + QByteArray::number(entry.size) + " bx stor 20240101.120000 " + entry.name.toUtf8() + "\n";
    }
    listing += QByteArray::number(entries->size()) + " files, 0 bytes uncompressed, 0 bytes compressed:  0.0%\n";
    FUZZ_CHECK(ArchiveListing::read(listing) == entries);
    FUZZ_CHECK(ArchiveListing::countProblem(listing).isEmpty() == (entries->size() <= ArchiveListing::maxEntries));

    // What may be unpacked stays within its folder and its size.
    if (!ArchiveListing::problem(*entries, maxBytes).isEmpty())
        return 0;
    qint64 total = 0;
    for (const ArchiveListing::Entry& entry : *entries) {
        total += entry.size;
        FUZZ_CHECK(!entry.name.startsWith(u'/') && !entry.name.contains(u'\\'));
        FUZZ_CHECK(!entry.name.split(u'/').contains(QStringLiteral("..")));
        for (const ArchiveListing::Entry& link : *entries) {
            if (link.isLink)
                FUZZ_CHECK(!entry.name.startsWith(link.name + u'/'));
        }
    }
    FUZZ_CHECK(total <= maxBytes && entries->size() <= ArchiveListing::maxEntries);

    // Unpacked in runs, files, then links, then folders, each run of one
    // kind and one power of two of sizes, largest first; each entry once.
    const auto kind = [](const ArchiveListing::Entry& entry) {
        return std::pair(entry.name.endsWith(u'/') ? 2 : int(entry.isLink), std::bit_width(quint64(entry.size)));
    };
    QList<ArchiveListing::Entry> unpacked;
    for (const QList<ArchiveListing::Entry>& run : ArchiveListing::batches(*entries)) {
        FUZZ_CHECK(unpacked.isEmpty() || kind(unpacked.last()).first <= kind(run.first()).first);
        FUZZ_CHECK(std::ranges::all_of(run, [&](const auto& entry) { return kind(entry) == kind(run.first()); }));
        FUZZ_CHECK(std::ranges::is_sorted(run, std::greater(), &ArchiveListing::Entry::size));
        unpacked += run;
    }
    std::ranges::sort(unpacked, {}, &ArchiveListing::Entry::name);
    std::ranges::sort(*entries, {}, &ArchiveListing::Entry::name);
    FUZZ_CHECK(unpacked == *entries);
    return 0;
}
