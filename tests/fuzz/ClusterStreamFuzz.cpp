// What a cluster node sends, cut into chunks as the network delivers it:
// telnet filter, line splitter, the login trigger, the spot parser and the
// spot book, in the order the client runs them. The first bytes choose the
// cuts and the book's capacity; the rest is the stream.

#include "FuzzSupport.h"

#include "cluster/ClusterLogin.h"
#include "cluster/DXSpotParser.h"
#include "cluster/LineSplitter.h"
#include "cluster/SpotBook.h"
#include "cluster/TelnetFilter.h"

#include <QSet>
#include <QTimeZone>

namespace {

struct Session {
    TelnetFilter telnet;
    LineSplitter splitter;
    QByteArray data;
    QStringList lines;
    qsizetype askedForCallAt = -1;
    SpotBook book;

    void ingest(QByteArrayView chunk, const QDateTime& now)
    {
        const QByteArray filtered = telnet.filter(chunk);
        data += filtered;
        for (const QString& line : splitter.append(filtered)) {
            if (askedForCallAt < 0 && ClusterLogin::lineAsksForCall(line))
                askedForCallAt = lines.size();
            lines.append(line);
            if (std::optional<DXSpot> spot = DXSpotParser::spot(line, now))
                book.add(*spot);
        }
    }
};

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r' || c == QChar(0x85) || c == QChar(0x2028)
        || c == QChar(0x2029);
}

bool isTrimmed(QChar c) { return c == u' ' || c == u'\t' || c.category() == QChar::Other_Control; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Fuzz::Input input(data, size);
    std::uint64_t seed = 0;
    for (int i = 0; i < 8; ++i)
        seed = seed << 8 | input.byte();
    const int maxChunk = input.integer(1, 64);
    const int capacity = input.integer(1, 16);
    const QByteArray stream = input.rest();
    const QDateTime now(QDate(2026, 8, 18), QTime(12, 30), QTimeZone::utc());

    Session whole;
    whole.book.setCapacity(capacity);
    whole.ingest(stream, now);
    Session cut;
    cut.book.setCapacity(capacity);
    for (QByteArrayView chunk : Fuzz::chunks(stream, seed, maxChunk))
        cut.ingest(chunk, now);

    FUZZ_CHECK(!whole.data.contains('\0'));
    FUZZ_CHECK(whole.telnet.pending().size() <= TelnetFilter::maxPending);
    for (const QString& line : whole.lines) {
        FUZZ_CHECK(!line.isEmpty() && !isTrimmed(line.front()) && !isTrimmed(line.back()));
        for (const QChar c : line)
            FUZZ_CHECK(!isLineBreak(c));
    }
    for (const QChar c : whole.splitter.unfinished())
        FUZZ_CHECK(!isLineBreak(c));

    const QList<DXSpot>& spots = whole.book.spots();
    FUZZ_CHECK(spots.size() <= capacity);
    QSet<QString> ids;
    for (qsizetype i = 0; i < spots.size(); ++i) {
        FUZZ_CHECK(i == 0 || spots[i - 1].time >= spots[i].time);
        ids.insert(spots[i].id());
    }
    FUZZ_CHECK(ids.size() == spots.size());

    // Below the limits where the filter and the splitter give up on an
    // unfinished command or line, the cuts must not matter.
    if (stream.size() < qMin(TelnetFilter::maxPending, LineSplitter::maxUnfinished)) {
        FUZZ_CHECK(cut.data == whole.data);
        FUZZ_CHECK(cut.telnet.pending() == whole.telnet.pending());
        FUZZ_CHECK(cut.lines == whole.lines);
        FUZZ_CHECK(cut.splitter.unfinished() == whole.splitter.unfinished());
        FUZZ_CHECK(cut.askedForCallAt == whole.askedForCallAt);
        FUZZ_CHECK(cut.book.spots() == whole.book.spots());
    }
    FUZZ_CHECK(ClusterLogin::promptAsksForCall(cut.splitter.unfinished())
               == ClusterLogin::promptAsksForCall(whole.splitter.unfinished()));
    return 0;
}
