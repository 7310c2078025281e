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

Record::Record(QJsonObject object)
    : m_object(std::move(object))
{
}

Record::Record(std::shared_ptr<const Header> header, QJsonArray row)
    : m_header(std::move(header))
    , m_row(std::move(row))
{
}

std::optional<qsizetype> Record::column(const QString& key) const
{
    const auto found = m_header->constFind(key);
    if (found == m_header->cend())
        return std::nullopt;
    for (auto index = found->crbegin(); index != found->crend(); ++index)
        if (*index < m_row.size())
            return *index;
    return std::nullopt;
}

QJsonValue Record::value(const QString& key) const
{
    if (!m_header)
        return m_object.value(key);
    const std::optional<qsizetype> index = column(key);
    return index ? m_row.at(*index) : QJsonValue(QJsonValue::Undefined);
}

bool Record::contains(const QString& key) const
{
    if (!m_header)
        return m_object.contains(key);
    return column(key).has_value();
}

qsizetype Record::size() const
{
    if (!m_header)
        return m_object.size();
    qsizetype keys = 0;
    for (const QList<qsizetype>& indices : *m_header)
        keys += indices.front() < m_row.size() ? 1 : 0;
    return keys;
}

QList<Record> records(const QJsonValue& value)
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

    QList<Record> result;
    if (allObjects) {
        result.reserve(array.size());
        for (const QJsonValue& element : array)
            result.append(Record(element.toObject()));
        return result;
    }

    // A table whose first row names the columns.
    if (array.isEmpty())
        return {};
    const QJsonArray headerRow = array.first().toArray();
    auto header = std::make_shared<Record::Header>();
    for (qsizetype i = 0; i < headerRow.size(); ++i) {
        if (!headerRow.at(i).isString())
            return {};
        (*header)[headerRow.at(i).toString()].append(i);
    }
    result.reserve(array.size() - 1);
    for (qsizetype r = 1; r < array.size(); ++r)
        result.append(Record(header, array.at(r).toArray()));
    return result;
}

} // namespace SWPCParser
