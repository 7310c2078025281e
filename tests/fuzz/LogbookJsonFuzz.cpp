// The stored logbook: its file name, import time and contacts, or the bare
// array of contacts that earlier versions stored.

#include "FuzzSupport.h"

#include "cluster/Logbook.h"

#include <QJsonArray>
#include <QJsonDocument>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<StoredLogbook> stored = StoredLogbook::decode(json))
        FUZZ_CHECK(StoredLogbook::decode(stored->encode()) == stored);
    const std::optional<QList<LogbookQSO>> qsos = LogbookQSO::decode(json);
    if (qsos) {
        // Encoding what was read and reading it again gives the same.
        const QByteArray encoded = LogbookQSO::encode(*qsos);
        FUZZ_CHECK(LogbookQSO::decode(encoded) == qsos);
        FUZZ_CHECK(LogbookQSO::encode(*LogbookQSO::decode(encoded)) == encoded);
        return 0;
    }
    // One bad entry makes the whole text unreadable, so a text that reads as
    // an array has an entry that fails alone.
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (document.isArray()) {
        bool oneFails = false;
        for (const QJsonValue& entry : document.array())
            oneFails = oneFails || !LogbookQSO::fromJson(entry);
        FUZZ_CHECK(oneFails);
    }
    return 0;
}
