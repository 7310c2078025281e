#include "cluster/Logbook.h"

#include "support/JsonList.h"
#include "support/StrictNumber.h"
#include "support/TextTrim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace {

// "<EOH>" in any mix of cases. Only ASCII bytes can spell it, and UTF-8
// never uses them inside a multi-byte sequence, so the bytes are searched
// as they are.
bool hasHeader(const QByteArray& bytes)
{
    for (qsizetype at = bytes.indexOf('<'); at >= 0 && at + 4 < bytes.size(); at = bytes.indexOf('<', at + 1)) {
        if (qstrnicmp(bytes.constData() + at, "<EOH>", 5) == 0)
            return true;
    }
    return false;
}

} // namespace

size_t qHash(const LogbookQSO& qso, size_t seed) noexcept
{
    return qHashMulti(seed, qso.call, qso.band ? rawValue(*qso.band) : 0, qso.confirmed);
}

QJsonObject LogbookQSO::toJson() const
{
    QJsonObject object { { "call", call }, { "confirmed", confirmed } };
    if (band)
        object.insert("band", rawValue(*band));
    return object;
}

std::optional<LogbookQSO> LogbookQSO::fromJson(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    const QJsonValue call = object.value("call");
    const QJsonValue confirmed = object.value("confirmed");
    if (!value.isObject() || !call.isString() || !confirmed.isBool())
        return std::nullopt;
    LogbookQSO qso { call.toString(), std::nullopt, confirmed.toBool() };
    const QJsonValue band = object.value("band");
    if (!band.isUndefined() && !band.isNull()) {
        const double metres = band.toDouble(-1);
        if (!band.isDouble() || metres != std::trunc(metres) || std::abs(metres) > 1e9)
            return std::nullopt;
        qso.band = bandFromRaw(qint64(metres));
        if (!qso.band)
            return std::nullopt;
    }
    return qso;
}

QByteArray LogbookQSO::encode(const QList<LogbookQSO>& qsos)
{
    QJsonArray array;
    for (const LogbookQSO& qso : qsos)
        array.append(qso.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<LogbookQSO>> LogbookQSO::decode(const QByteArray& json)
{
    return JsonList::decode<LogbookQSO>(json, fromJson);
}

QByteArray StoredLogbook::encode() const
{
    QJsonArray contacts;
    for (const LogbookQSO& qso : qsos)
        contacts.append(qso.toJson());
    QJsonObject object { { "fileName", fileName }, { "qsos", contacts } };
    if (imported)
        object.insert("imported", imported->toUTC().toString(Qt::ISODate));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<StoredLogbook> StoredLogbook::decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    if (document.isArray()) {
        std::optional<QList<LogbookQSO>> qsos = JsonList::fromJson<LogbookQSO>(document.array(), LogbookQSO::fromJson);
        return qsos ? std::optional(StoredLogbook { std::move(*qsos), {}, {} }) : std::nullopt;
    }
    const QJsonObject object = document.object();
    std::optional<QList<LogbookQSO>> qsos = JsonList::fromJson<LogbookQSO>(object.value("qsos"), LogbookQSO::fromJson);
    if (!qsos)
        return std::nullopt;
    StoredLogbook logbook { std::move(*qsos), object.value("fileName").toString(), {} };
    // Whole seconds, as written.
    const QDateTime imported = QDateTime::fromString(object.value("imported").toString(), Qt::ISODate);
    if (imported.isValid())
        logbook.imported = QDateTime::fromSecsSinceEpoch(imported.toSecsSinceEpoch(), Qt::UTC);
    return logbook;
}

namespace ADIF {

QList<Record> records(const QByteArray& bytes)
{
    QList<Record> finished;
    Record current;
    bool inHeader = hasHeader(bytes);
    const qsizetype size = bytes.size();
    const char* const data = bytes.constData();
    qsizetype pos = 0;
    while (pos < size) {
        const qsizetype open = bytes.indexOf('<', pos);
        if (open < 0)
            break;
        const qsizetype close = bytes.indexOf('>', open + 1);
        if (close < 0)
            break;
        pos = close + 1;

        const QString tag = QString::fromUtf8(data + open + 1, close - open - 1);
        const QList<QStringView> pieces = QStringView(tag).split(u':');
        const QString name = trimSpacesAndTabs(pieces[0]).toString().toUpper();
        if (name == u"EOH") {
            current.clear();
            inHeader = false;
            continue;
        }
        if (name == u"EOR") {
            if (!inHeader && !current.isEmpty())
                finished.append(current);
            current.clear();
            continue;
        }
        if (pieces.size() < 2)
            continue;
        // A length too large for 64 bits does not read and skips the tag; any
        // other is cut at the end of the file, so the value never reads past it.
        const auto length = StrictNumber::parseInt(trimSpacesAndTabs(pieces[1]));
        if (!length || *length < 0)
            continue;
        const qsizetype take = qsizetype(std::min<qint64>(*length, size - pos));
        if (!inHeader)
            current.insert(name, QString::fromUtf8(data + pos, take).trimmed());
        pos += take;
    }
    return finished;
}

std::optional<Band> bandFromADIF(QStringView text)
{
    const QString band = trimSpacesAndTabs(text).toString().toUpper();
    if (!band.endsWith(u'M') || band.endsWith(u"CM") || band.endsWith(u"MM"))
        return std::nullopt;
    const auto metres = StrictNumber::parseInt(QStringView(band).chopped(1));
    return metres ? bandFromRaw(*metres) : std::nullopt;
}

QList<LogbookQSO> qsos(const QByteArray& bytes)
{
    QList<LogbookQSO> kept;
    QSet<LogbookQSO> seen;
    const auto isConfirmation = [](const QString& flag) {
        const QString upper = flag.toUpper();
        return upper == u"Y" || upper == u"V";
    };
    for (const Record& record : records(bytes)) {
        const QString call = record.value("CALL").toUpper();
        if (call.isEmpty())
            continue;
        std::optional<Band> band;
        if (const auto it = record.constFind("BAND"); it != record.cend())
            band = bandFromADIF(*it);
        if (!band) {
            if (const auto it = record.constFind("FREQ"); it != record.cend()) {
                if (const auto mhz = StrictNumber::parseDouble(*it))
                    band = bandForKHz(*mhz * 1000);
            }
        }
        const bool confirmed
            = isConfirmation(record.value("QSL_RCVD")) || isConfirmation(record.value("LOTW_QSL_RCVD"));
        const LogbookQSO qso { call, band, confirmed };
        if (!seen.contains(qso)) {
            seen.insert(qso);
            kept.append(qso);
        }
    }
    return kept;
}

} // namespace ADIF
