// A body from the NOAA SWPC feeds, given to every product's reader, and the
// shared reading rules under them: the table reader, dates and numbers.

#include "FuzzSupport.h"

#include "spaceweather/SWPCFeeds.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace {

using namespace SWPCParser;

bool finite(std::optional<double> value) { return !value || std::isfinite(*value); }

// A value the readers hand on lies in its quantity's range.
bool in(double value, Range range) { return value >= range.low && value <= range.high; }
bool in(std::optional<double> value, Range range) { return !value || in(*value, range); }

// A failure is the JSON reader's exactly when the body is not JSON of the
// right kind; otherwise it names the product.
template <typename T>
void checkRefusal(const Result<T>& result, bool isJson, const char* label)
{
    if (result)
        return;
    if (isJson)
        FUZZ_CHECK(result.error() == ParseError::unexpectedFormat(QString::fromLatin1(label)));
    else
        FUZZ_CHECK(result.error().kind == ParseError::Kind::json);
}

// A table's rows read through its header give what the same rows give as
// objects built column by column.
void checkTable(const QJsonValue& value)
{
    const QList<Record> list = records(value);
    if (!value.isArray() || value.toArray().isEmpty() || !value.toArray().first().isArray())
        return;
    const QJsonArray table = value.toArray();
    const QJsonArray header = table.first().toArray();
    QJsonArray objects;
    for (qsizetype r = 1; r < table.size() && !list.isEmpty(); ++r) {
        const QJsonArray row = table.at(r).toArray();
        QJsonObject object;
        for (qsizetype i = 0; i < header.size() && i < row.size(); ++i)
            object.insert(header.at(i).toString(), row.at(i));
        objects.append(object);
    }
    if (list.isEmpty())
        return;
    FUZZ_CHECK(list.size() == table.size() - 1);
    const QList<Record> fromObjects = records(objects);
    FUZZ_CHECK(fromObjects.size() == list.size());
    for (qsizetype r = 0; r < list.size(); ++r) {
        FUZZ_CHECK(list[r].size() == fromObjects[r].size());
        for (const QJsonValue& name : header) {
            const QString key = name.toString();
            FUZZ_CHECK(list[r].contains(key) == fromObjects[r].contains(key));
            FUZZ_CHECK(list[r].value(key) == fromObjects[r].value(key));
        }
        FUZZ_CHECK(!list[r].contains(QStringLiteral("\x01 not a column")));
    }
}

// Every text of the body read as a date and as a number.
void checkTexts(const QJsonValue& value, int& budget)
{
    if (--budget < 0)
        return;
    if (value.isArray()) {
        for (const QJsonValue& element : value.toArray())
            checkTexts(element, budget);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            checkTexts(QJsonValue(it.key()), budget);
            checkTexts(it.value(), budget);
        }
    } else {
        FUZZ_CHECK(finite(number(value)));
        const std::optional<QDateTime> time = date(value);
        if (!time)
            return;
        FUZZ_CHECK(time->isValid() && time->offsetFromUtc() == 0);
        // A time written as an internet date-time reads back the same.
        const int year = time->date().year();
        if (year >= 1 && year <= 9999)
            FUZZ_CHECK(date(QJsonValue(time->toString(Qt::ISODateWithMs))) == time);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const Result<QJsonValue> json = parseJson(body);
    if (json) {
        FUZZ_CHECK(json->isObject() || json->isArray());
        checkTable(*json);
        int budget = 2000;
        checkTexts(*json, budget);
    }

    const auto aurora = SWPCParser::aurora(body);
    checkRefusal(aurora, json.has_value(), "OVATION aurora");
    if (aurora) {
        FUZZ_CHECK(aurora->values.size() == std::size_t(AuroraGrid::width) * AuroraGrid::height);
        FUZZ_CHECK(aurora->maxValue() <= 100);
    }

    const auto kp = kpNow(body);
    checkRefusal(kp, json.has_value(), "Kp 1-minute");
    FUZZ_CHECK(!kp || in(kp->kp, Ranges::kp));

    const auto history = kpHistory(body);
    checkRefusal(history, json.has_value(), "Kp 3-hour");
    if (history) {
        FUZZ_CHECK(!history->isEmpty());
        for (qsizetype i = 0; i < history->size(); ++i) {
            const KpSample& sample = history->at(i);
            FUZZ_CHECK(in(sample.kp, Ranges::kp) && in(sample.aRunning, Ranges::aIndex) && sample.time.isValid());
            FUZZ_CHECK(i == 0 || history->at(i - 1).time <= sample.time);
        }
    }

    const auto flux = solarFlux(body);
    checkRefusal(flux, json.has_value(), "F10.7");
    FUZZ_CHECK(!flux || in(flux->flux, Ranges::solarFlux));

    const auto ssn = sunspots(body);
    checkRefusal(ssn, json.has_value(), "sunspots");
    FUZZ_CHECK(!ssn || in(ssn->ssn, Ranges::sunspots));

    const auto mag = magField(body);
    checkRefusal(mag, json.has_value(), "solar wind mag");
    FUZZ_CHECK(!mag || (in(mag->bt, Ranges::magField) && in(mag->bz, Ranges::magField)));

    const auto wind = windSpeed(body);
    checkRefusal(wind, json.has_value(), "solar wind speed");
    FUZZ_CHECK(!wind || in(*wind, Ranges::windSpeed));
    return 0;
}
