#pragma once

#include "spaceweather/FeedReadingRules.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <array>
#include <optional>

// Where Kp, A, sunspot number and solar flux come from: the NOAA SWPC feeds
// or the GFZ Kp service. Stored as its raw text in SettingKeys::indexSource.
enum class IndexSource {
    noaa,
    gfz,
};

inline constexpr std::array<IndexSource, 2> allIndexSources { IndexSource::noaa, IndexSource::gfz };

QString rawValue(IndexSource source);
// Exact, case-sensitive match of a raw text ("noaa", "gfz").
std::optional<IndexSource> indexSourceFromRaw(QStringView text);

// The GFZ Kp index service: the official three-hourly Kp and also Ap, the
// sunspot number and the F10.7 flux.
namespace GFZ {

// The indices asked for; the raw value is both the query code and the name
// of the answer's value array.
enum class Index {
    kp,
    ap,
    sunspots,
    flux,
};

QString rawValue(Index index); // "Kp", "Ap", "SN", "Fobs"
// Exact, case-sensitive match of a code.
std::optional<Index> indexFromRaw(QStringView text);

// The service's JSON path, to which the query is appended.
QString base();

// The query for one index over the `days` days up to `now`, times in whole
// UTC seconds.
QUrl url(Index index, int days, const QDateTime& now);

struct Value {
    double value = 0;
    std::optional<QDateTime> time;

    friend bool operator==(const Value&, const Value&) = default;
};

// The answer's last value of 0 or more, with its time when the answer gives
// one. Fails with unexpectedFormat "GFZ <code>" when the answer has no value
// array for the index, "GFZ <code>: no valid values" when none qualifies.
SWPCParser::Result<Value> latest(const QByteArray& data, Index index);

} // namespace GFZ
