// An answer of the GFZ Kp index service, read for each of its indices.

#include "FuzzSupport.h"

#include "spaceweather/GFZ.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace {

// What each index can be; a value outside is no value.
SWPCParser::Range rangeOf(GFZ::Index index)
{
    switch (index) {
    case GFZ::Index::kp:
        return SWPCParser::Ranges::kp;
    case GFZ::Index::ap:
        return SWPCParser::Ranges::aIndex;
    case GFZ::Index::sunspots:
        return SWPCParser::Ranges::sunspots;
    case GFZ::Index::flux:
        return SWPCParser::Ranges::solarFlux;
    }
    return SWPCParser::Ranges::kp;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto json = SWPCParser::parseJson(body);
    for (const GFZ::Index index : { GFZ::Index::kp, GFZ::Index::ap, GFZ::Index::sunspots, GFZ::Index::flux }) {
        const QString code = GFZ::rawValue(index);
        FUZZ_CHECK(GFZ::indexFromRaw(code) == index);
        const auto latest = GFZ::latest(body, index);
        if (!json) {
            FUZZ_CHECK(!latest && latest.error().kind == SWPCParser::ParseError::Kind::json);
            continue;
        }
        const QJsonValue values = json->toObject().value(code);
        if (!latest) {
            FUZZ_CHECK(latest.error().kind == SWPCParser::ParseError::Kind::unexpectedFormat);
            FUZZ_CHECK(latest.error().text
                       == (values.isArray() ? QStringLiteral("GFZ ") + code + QStringLiteral(": no valid values") : QStringLiteral("GFZ ") + code));
            continue;
        }
        FUZZ_CHECK(json->isObject() && values.isArray());
        const SWPCParser::Range range = rangeOf(index);
        FUZZ_CHECK(std::isfinite(latest->value) && latest->value >= range.low && latest->value <= range.high);
        // The last value that reads counts.
        const QJsonArray list = values.toArray();
        if (const auto last = range(SWPCParser::number(list.last())))
            FUZZ_CHECK(latest->value == *last);
        FUZZ_CHECK(!latest->time || latest->time->offsetFromUtc() == 0);
    }
    return 0;
}
