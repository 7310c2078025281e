#include "spaceweather/FeedReadingRules.h"

#include "support/StrictNumber.h"
#include "support/TextTrim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QTimeZone>

#include <cmath>

namespace SWPCParser {

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// `count` digits at `pos`, or -1.
int digitsAt(QStringView s, qsizetype pos, int count)
{
    if (pos + count > s.size())
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = s[pos + i];
        if (!isDigit(c))
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// yyyy-MM-ddTHH:mm:ss[.f...](Z|±HH:MM), nothing more and nothing less.
std::optional<QDateTime> parseInternetDateTime(QStringView s)
{
    const int year = digitsAt(s, 0, 4);
    const int month = digitsAt(s, 5, 2);
    const int day = digitsAt(s, 8, 2);
    const int hour = digitsAt(s, 11, 2);
    const int minute = digitsAt(s, 14, 2);
    const int second = digitsAt(s, 17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    if (s[4] != u'-' || s[7] != u'-' || s[10] != u'T' || s[13] != u':' || s[16] != u':')
        return std::nullopt;

    qsizetype pos = 19;
    int msec = 0;
    if (pos < s.size() && s[pos] == u'.') {
        ++pos;
        int digits = 0;
        int scale = 100;
        while (pos < s.size() && isDigit(s[pos])) {
            msec += (s[pos].unicode() - u'0') * scale;
            scale /= 10;
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 9)
            return std::nullopt;
    }

    int offsetSeconds = 0;
    if (pos < s.size() && s[pos] == u'Z') {
        ++pos;
    } else if (pos < s.size() && (s[pos] == u'+' || s[pos] == u'-')) {
        const int sign = s[pos] == u'-' ? -1 : 1;
        const int offHours = digitsAt(s, pos + 1, 2);
        const int offMinutes = digitsAt(s, pos + 4, 2);
        if (offHours < 0 || offMinutes < 0 || s[pos + 3] != u':' || offHours > 23 || offMinutes > 59)
            return std::nullopt;
        offsetSeconds = sign * (offHours * 3600 + offMinutes * 60);
        pos += 6;
    } else {
        return std::nullopt;
    }
    if (pos != s.size())
        return std::nullopt;

    const QDate d(year, month, day);
    if (!d.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const QTime t(hour, minute, second, msec);
    return QDateTime(d, t, QTimeZone::utc()).addSecs(-offsetSeconds);
}

bool hasZoneOffset(QStringView text)
{
    const qsizetype t = text.indexOf(u'T');
    if (t < 0)
        return text.contains(u'+');
    const QStringView timePart = text.mid(t + 1);
    return timePart.contains(u'+') || timePart.contains(u'-');
}

} // namespace

Result<QJsonValue> parseJson(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return std::unexpected(ParseError::json(error.errorString()));
    if (doc.isObject())
        return QJsonValue(doc.object());
    if (doc.isArray())
        return QJsonValue(doc.array());
    return std::unexpected(ParseError::json(QStringLiteral("no JSON object or array")));
}

std::optional<QDateTime> date(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    QString text = value.toString();
    if (text.isEmpty() || text.size() > 64)
        return std::nullopt;
    text.replace(u' ', u'T');
    // Feeds write UTC times without a zone; a time that names its own offset,
    // west of Greenwich as well as east, keeps it.
    if (!text.endsWith(u'Z') && !hasZoneOffset(text))
        text.append(u'Z');
    return parseInternetDateTime(text);
}

std::optional<double> number(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? 1.0 : 0.0;
    case QJsonValue::Double: {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return std::nullopt;
        return d;
    }
    case QJsonValue::String:
        return StrictNumber::parseDouble(trimSpacesAndTabs(value.toString()));
    default:
        return std::nullopt;
    }
}

QList<QJsonObject> records(const QJsonValue& value)
{
    if (!value.isArray())
        return {};
    const QJsonArray array = value.toArray();

    bool allObjects = true;
    bool allArrays = true;
    for (const QJsonValue& element : array) {
        allObjects = allObjects && element.isObject();
        allArrays = allArrays && element.isArray();
        if (!allObjects && !allArrays)
            return {};
    }

    QList<QJsonObject> result;
    if (allObjects) {
        result.reserve(array.size());
        for (const QJsonValue& element : array)
            result.append(element.toObject());
        return result;
    }

    // A table whose first row names the columns.
    if (array.isEmpty())
        return {};
    const QJsonArray headerRow = array.first().toArray();
    QStringList header;
    header.reserve(headerRow.size());
    for (const QJsonValue& cell : headerRow) {
        if (!cell.isString())
            return {};
        header.append(cell.toString());
    }
    result.reserve(array.size() - 1);
    for (qsizetype r = 1; r < array.size(); ++r) {
        const QJsonArray row = array.at(r).toArray();
        QJsonObject record;
        const qsizetype n = std::min(header.size(), row.size());
        for (qsizetype i = 0; i < n; ++i)
            record.insert(header.at(i), row.at(i));
        result.append(record);
    }
    return result;
}

} // namespace SWPCParser
