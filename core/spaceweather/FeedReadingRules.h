#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <expected>
#include <memory>
#include <optional>

// The reading rules every space weather and ionosphere feed shares: one date
// rule, one number rule, one table reader and one error for a body of the
// wrong shape. The NOAA product readers (SWPCFeeds.h), the GFZ reader and
// the ionosonde station reader are built on them. All pure.
namespace SWPCParser {

// Why a feed body was refused.
struct ParseError {
    enum class Kind {
        // Not JSON, or JSON whose top level is neither an object nor an
        // array; `text` is the JSON reader's own message.
        json,
        // JSON of a shape the reader does not take; `text` names the product
        // ("Kp 3-hour", "GFZ Kp", "Zelq stations", ...).
        unexpectedFormat,
    };
    Kind kind = Kind::unexpectedFormat;
    QString text;

    static ParseError unexpectedFormat(const QString& label) { return { Kind::unexpectedFormat, label }; }
    static ParseError json(const QString& message) { return { Kind::json, message }; }

    friend bool operator==(const ParseError&, const ParseError&) = default;
};

template <typename T>
using Result = std::expected<T, ParseError>;

// The body as a JSON object or array (never a bare scalar).
Result<QJsonValue> parseJson(const QByteArray& body);

// A time text as an instant. Blanks become "T"; a text with neither a
// trailing "Z" nor a zone offset is taken as UTC. The rest must be an
// internet date-time (date, "T", hh:mm:ss, optional fraction, "Z" or an
// offset such as "+02:00" or "-05:00"). Anything else, an absent value
// (QJsonValue::Undefined) included, gives no time.
std::optional<QDateTime> date(const QJsonValue& value);

// A JSON number (true and false read as 1 and 0), or a text holding one
// decimal number once blanks and tabs around it are removed. Only finite
// numbers: "NaN", "inf" and the like are no number.
std::optional<double> number(const QJsonValue& value);

// One record of a feed's table: an object as the feed sent it, or one row of
// a table whose first row names the columns, read through that header. Rows
// are not copied into objects: a wide table would cost columns² to build
// that way.
class Record {
public:
    // Each column name's indices, ascending; a name may repeat.
    using Header = QHash<QString, QList<qsizetype>>;

    explicit Record(QJsonObject object);
    Record(std::shared_ptr<const Header> header, QJsonArray row);

    // The value under a key (QJsonValue::Undefined when absent). A row has a
    // key when its header names a column the row reaches; when a name
    // repeats, the last such column counts.
    QJsonValue value(const QString& key) const;
    bool contains(const QString& key) const;
    // The number of keys the record has.
    qsizetype size() const;

private:
    std::optional<qsizetype> column(const QString& key) const;

    QJsonObject m_object;
    std::shared_ptr<const Header> m_header;
    QJsonArray m_row;
};

// A feed's table as records: an array of objects as it stands, or an array
// of arrays whose first row names the columns. Any other shape gives none.
QList<Record> records(const QJsonValue& value);

// What the Sun and the Earth's field can give. A value outside its range is
// a broken feed's (Kp 1e308 is no storm) and counts as missing, as a value
// that is no number does.
struct Range {
    double low;
    double high;

    // The value when it lies in the range, bounds included.
    std::optional<double> operator()(std::optional<double> value) const
    {
        return value && *value >= low && *value <= high ? value : std::nullopt;
    }
};

namespace Ranges {
inline constexpr Range kp { 0, 9 };
inline constexpr Range aIndex { 0, 400 };
inline constexpr Range solarFlux { 0, 1000 }; // sfu
inline constexpr Range sunspots { 0, 1000 };
inline constexpr Range windSpeed { 0, 5000 };  // km/s
inline constexpr Range magField { -500, 500 }; // nT, Bt and Bz
inline constexpr Range aurora { 0, 100 };      // per cent
} // namespace Ranges

} // namespace SWPCParser
