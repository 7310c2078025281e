// The stored logbook: its contacts with their file's name and import time,
// or the bare array of contacts that earlier versions stored.

#include "FuzzSupport.h"

#include "cluster/Logbook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<StoredLogbook> logbook = StoredLogbook::decode(json);
    if (logbook) {
        // Encoding what was read and reading it again gives the same.
        const QByteArray encoded = logbook->encode();
        FUZZ_CHECK(StoredLogbook::decode(encoded) == logbook);
        FUZZ_CHECK(StoredLogbook::decode(encoded)->encode() == encoded);
        return 0;
    }
    // One bad entry makes the whole text unreadable, so contacts that read
    // as an array have an entry that fails alone.
    const QJsonDocument document = QJsonDocument::fromJson(json);
    const QJsonValue contacts = document.isArray() ? QJsonValue(document.array()) : document.object().value("qsos");
    if (contacts.isArray()) {
        bool oneFails = false;
        for (const QJsonValue& entry : contacts.toArray())
            oneFails = oneFails || !LogbookQSO::fromJson(entry);
        FUZZ_CHECK(oneFails);
    }
    return 0;
}
