// An ADIF logbook export, as the logbook import reads it.

#include "FuzzSupport.h"

#include "cluster/Logbook.h"

#include <QSet>

namespace {

// The records written back as ADIF: a header, then each field with its
// length in bytes, each record ended by <EOR>.
QByteArray written(const QList<ADIF::Record>& records)
{
    QByteArray out = "<EOH>\n";
    for (const ADIF::Record& record : records) {
        for (auto it = record.cbegin(); it != record.cend(); ++it) {
            const QByteArray value = it.value().toUtf8();
            out += '<' + it.key().toUtf8() + ':' + QByteArray::number(value.size()) + '>' + value + ' ';
        }
        out += "<EOR>\n";
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<ADIF::Record> records = ADIF::records(bytes);
    for (const ADIF::Record& record : records) {
        FUZZ_CHECK(!record.isEmpty());
        for (auto it = record.cbegin(); it != record.cend(); ++it) {
            FUZZ_CHECK(it.key() == it.key().toUpper());
            FUZZ_CHECK(it.value() == it.value().trimmed());
        }
    }
    // Lengths count bytes: the records written back read the same.
    FUZZ_CHECK(ADIF::records(written(records)) == records);

    const QList<LogbookQSO> qsos = ADIF::qsos(bytes);
    QSet<LogbookQSO> distinct;
    for (const LogbookQSO& qso : qsos) {
        FUZZ_CHECK(!qso.call.isEmpty() && qso.call == qso.call.toUpper());
        distinct.insert(qso);
    }
    FUZZ_CHECK(distinct.size() == qsos.size());
    // What the import keeps is what the stored logbook gives back.
    FUZZ_CHECK(LogbookQSO::decode(LogbookQSO::encode(qsos)) == qsos);
    return 0;
}
