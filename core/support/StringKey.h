#pragma once

#include "support/TextHash.h"

#include <QString>

#include <utility>

// A text as the key of a hash table on a busy road (the country file's
// prefixes and calls, the calls and countries of arriving spots). Hashed by
// `TextHash`, which leaves the vector state as it found it where Qt's
// string hash leaves it dirty (see VectorState.h): the road cleans it where
// its batch starts, and what the table does after each hash (comparing
// keys, moving entries, growing) and what its caller does after a lookup
// then runs clean. Otherwise the same as the QString it is.
struct StringKey : QString {
    using QString::QString;
    StringKey() = default;
    StringKey(const QString& text)
        : QString(text)
    {
    }
    StringKey(QString&& text) noexcept
        : QString(std::move(text))
    {
    }

    // A key over characters that outlive it, for a lookup: nothing copied,
    // and built in place, where one moved out of QString::fromRawData's
    // result costs a stalled copy for every probe.
    static StringKey over(QStringView text) { return StringKey(DataPointer::fromRawData(text.utf16(), text.size())); }
};

inline size_t qHash(const StringKey& key, size_t seed = 0) noexcept { return TextHash::of(key, seed); }
