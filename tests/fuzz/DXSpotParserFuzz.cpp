// One line from a cluster node, as the spot parser takes it.

#include "FuzzSupport.h"

#include "cluster/DXSpotParser.h"

#include <QTimeZone>

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString line = Fuzz::text(QByteArrayView(data, qsizetype(size)));
    const QDateTime received(QDate(2026, 8, 18), QTime(12, 30), QTimeZone::utc());

    const std::optional<DXSpot> live = DXSpotParser::liveSpot(line, received);
    const std::optional<DXSpot> history = DXSpotParser::historySpot(line);
    const std::optional<DXSpot> spot = DXSpotParser::spot(line, received);
    FUZZ_CHECK(spot == (live ? live : history));
    if (!spot)
        return 0;

    FUZZ_CHECK(DXSpotParser::isPlausibleCall(spot->call));
    FUZZ_CHECK(spot->call == spot->call.toUpper());
    FUZZ_CHECK(spot->spotter == spot->spotter.toUpper());
    FUZZ_CHECK(std::isfinite(spot->frequencyKHz) && spot->frequencyKHz >= 1000);
    FUZZ_CHECK(spot->band == bandForKHz(spot->frequencyKHz));
    FUZZ_CHECK(spot->wholeKHz().has_value());
    FUZZ_CHECK(spot->sameIdentity(*spot));
    FUZZ_CHECK(spot->time.isValid() && spot->time.offsetFromUtc() == 0);
    for (const QChar c : spot->comment)
        FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7F);
    FUZZ_CHECK(!spot->comment.startsWith(u' ') && !spot->comment.endsWith(u' '));

    // Blanks and controls around a line, such as the BEL some nodes send
    // before CR LF, change nothing.
    const QString padded = QStringLiteral(" \t") + line + QStringLiteral("\a\r\n");
    FUZZ_CHECK(DXSpotParser::spot(padded, received) == spot);
    return 0;
}
