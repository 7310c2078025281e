#pragma once

#include "cluster/Band.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QHashFunctions>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// One contact of the imported logbook: only what the DXCC progress needs.
// Also the record of the stored logbook.
struct LogbookQSO {
    QString call; // upper case; never empty when read from ADIF
    std::optional<Band> band;
    bool confirmed = false; // a confirmation was received

    friend bool operator==(const LogbookQSO&, const LogbookQSO&) = default;

    // {"call": …, "band": metres, "confirmed": …}; "band" left out when none.
    QJsonObject toJson() const;
    // "call" (text) and "confirmed" (Boolean) are required; "band", when
    // present, must be a band's metres.
    static std::optional<LogbookQSO> fromJson(const QJsonValue& value);

    // The stored logbook: a JSON array of contacts. One bad entry makes the
    // whole text unreadable.
    static QByteArray encode(const QList<LogbookQSO>& qsos);
    static std::optional<QList<LogbookQSO>> decode(const QByteArray& json);
};

size_t qHash(const LogbookQSO& qso, size_t seed = 0) noexcept;

// The stored logbook ("logbook.json"): the contacts with the name of the
// ADIF file they came from and the time of the import, in one document, so
// a save cut short can never pair one import's contacts with another's
// name: {"fileName": …, "imported": ISO 8601 UTC, "qsos": [contacts]}.
struct StoredLogbook {
    QList<LogbookQSO> qsos;
    QString fileName;                  // empty when not known
    std::optional<QDateTime> imported; // UTC

    friend bool operator==(const StoredLogbook&, const StoredLogbook&) = default;

    QByteArray encode() const;
    // The contacts read as strictly as LogbookQSO::decode() reads them; a
    // name or time that is no text or no time reads as none. The bare array
    // of contacts that earlier versions stored (their name and time were
    // settings) reads with neither.
    static std::optional<StoredLogbook> decode(const QByteArray& json);
};

// Reader of ADIF (.adi) logbook exports.
namespace ADIF {

// Upper-case field name → value, trimmed.
using Record = QHash<QString, QString>;

// The records of an ADIF file, in order. Tag lengths count bytes; a value
// never reaches past the end of the file, and malformed tags are skipped.
// Header fields (before <EOH>) and a last record without <EOR> are dropped.
QList<Record> records(const QByteArray& bytes);

// The distinct contacts of an ADIF file, in order of first appearance;
// empty when nothing usable is found.
QList<LogbookQSO> qsos(const QByteArray& bytes);

// The band of a BAND field such as "20m" or "2M"; "70CM", "1.25M" and "20"
// give none.
std::optional<Band> bandFromADIF(QStringView text);

} // namespace ADIF
