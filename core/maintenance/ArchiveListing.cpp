#include "maintenance/ArchiveListing.h"

#include "maintenance/UpdateLeftovers.h"
#include "support/ByteSize.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <bit>
#include <map>

namespace ArchiveListing {

namespace {

const QRegularExpression& headerLine()
{
    static const QRegularExpression header(QStringLiteral("^Zip file size: \\d+ bytes, number of entries: (\\d+)$"));
    return header;
}

const QRegularExpression& totalsLine()
{
    static const QRegularExpression totals(QStringLiteral("^(\\d+) files?, \\d+ bytes? uncompressed"));
    return totals;
}

QString tooMany(const QString& count)
{
    return QStringLiteral("it lists %1 entries, more than the %2 a release may hold").arg(count).arg(maxEntries);
}

} // namespace

std::expected<QList<Entry>, QString> read(const QByteArray& text)
{
    static const QRegularExpression entryLine(
        QStringLiteral("^(\\S+)\\s+\\S+\\s+\\S+\\s+(\\d{1,19})\\s+\\S+\\s+\\S+\\s+\\d{8}\\.\\d{6} (.+)$"));
    const QRegularExpression& header = headerLine();

    QList<Entry> entries;
    qint64 announced = -1;
    // A line at a time: the listing may be tens of megabytes, and its lines
    // are not copied all at once.
    for (qsizetype start = 0, end = 0; start < text.size(); start = end + 1) {
        end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QString line = QString::fromUtf8(text.constData() + start, end - start).remove(u'\r');
        if (line.isEmpty() || line.startsWith(QLatin1String("Archive:")) || totalsLine().match(line).hasMatch())
            continue;
        if (const QRegularExpressionMatch match = header.match(line); match.hasMatch()) {
            announced = match.captured(1).toLongLong();
            continue;
        }
        const QRegularExpressionMatch match = entryLine.match(line);
        bool ok = false;
        const qint64 size = match.hasMatch() ? match.captured(2).toLongLong(&ok) : 0;
        // Not quoted: the line is unzip's, control characters and all.
        if (!ok)
            return std::unexpected(QStringLiteral("its listing has a line that can't be read"));
        entries << Entry { match.captured(3), size, match.captured(1).startsWith(u'l') };
    }
    if (announced < 0)
        return std::unexpected(QStringLiteral("its listing announces no number of entries"));
    if (announced != entries.size())
        return std::unexpected(
            QStringLiteral("its listing names %1 entries, not the %2 it announces").arg(entries.size()).arg(announced));
    return entries;
}

QString countProblem(const QByteArray& counts)
{
    for (const QByteArray& line : counts.split('\n')) {
        const QString text = QString::fromUtf8(line).remove(u'\r');
        QRegularExpressionMatch match = headerLine().match(text);
        if (!match.hasMatch())
            match = totalsLine().match(text);
        bool ok = false;
        const qint64 count = match.captured(1).toLongLong(&ok);
        if (match.hasMatch() && (!ok || count > maxEntries)) // a zip64 count may pass what a qint64 holds
            return tooMany(match.captured(1));
    }
    return {};
}

QString problem(const QList<Entry>& entries, qint64 maxBytes)
{
    if (entries.size() > maxEntries)
        return tooMany(QString::number(entries.size()));
    qint64 total = 0;
    QSet<QString> names;
    QList<QString> links;
    for (const Entry& entry : entries) {
        const QString name = entry.name.endsWith(u'/') ? entry.name.chopped(1) : entry.name;
        // unzip takes a backslash for a separator in some archives and not in
        // others: such a name may stand for another path than its text
        // says, a carry folder's mark say, and no release needs one.
        if (name.contains(u'\\'))
            return QStringLiteral("it names a path with a backslash in it (%1)").arg(entry.name);
        const QStringList parts = name.split(u'/');
        if (name.isEmpty() || name.startsWith(u'/') || parts.contains(QLatin1String("..")))
            return QStringLiteral("it names a path outside its folder (%1)").arg(entry.name);
        // "a/./b" and "a//b" are "a/b" on disk, where a link "a" would
        // lead them, yet not by their text.
        if (parts.contains(QString()) || parts.contains(QLatin1String(".")))
            return QStringLiteral("it names a path in a roundabout way (%1)").arg(entry.name);
        const auto isUpdates = [](const QString& part) {
            return part == QLatin1String(UpdateLeftovers::carryMark)
                || part.startsWith(QLatin1String(UpdateLeftovers::carryPrefix));
        };
        if (std::ranges::any_of(parts, isUpdates))
            return QStringLiteral("it names a path the update keeps for its own work (%1)").arg(entry.name);
        if (names.contains(name))
            return QStringLiteral("it names %1 twice").arg(name);
        names.insert(name);
        if (entry.isLink)
            links << name;
        if (entry.size > maxBytes - total)
            return QStringLiteral("it unpacks to more than %1").arg(ByteSize::text(maxBytes));
        total += entry.size;
    }
    for (const QString& link : std::as_const(links)) {
        for (const Entry& entry : entries) {
            if (entry.name.startsWith(link + u'/'))
                return QStringLiteral("it puts %1 inside the link %2").arg(entry.name, link);
        }
    }
    return {};
}

QList<QList<Entry>> batches(const QList<Entry>& entries)
{
    enum Order { file, link, folder };
    std::map<std::pair<Order, int>, QList<Entry>> groups;
    for (const Entry& entry : entries) {
        const Order order = entry.name.endsWith(u'/') ? folder : entry.isLink ? link : file;
        groups[{ order, int(std::bit_width(quint64(entry.size))) }] << entry;
    }
    QList<QList<Entry>> batches;
    for (auto& [key, group] : groups) {
        std::ranges::stable_sort(group, std::greater(), &Entry::size);
        qsizetype bytes = 0;
        for (Entry& entry : group) {
            const qsizetype size = pattern(entry.name).toUtf8().size() + 1;
            if (bytes == 0 || bytes + size > maxPatternBytes) {
                batches.emplace_back();
                bytes = 0;
            }
            bytes += size;
            batches.last() << std::move(entry);
        }
    }
    return batches;
}

QString pattern(const QString& name)
{
    QString escaped;
    escaped.reserve(name.size() + 4);
    for (const QChar c : name) {
        if (c == u'\\' || c == u'*' || c == u'?' || c == u'[' || (escaped.isEmpty() && c == u'-'))
            escaped += u'\\';
        escaped += c;
    }
    return escaped;
}

} // namespace ArchiveListing
