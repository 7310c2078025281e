#pragma once

#include <QStringView>

#include <optional>
#include <ranges>

// The one reading of a raw-text enum: the case among `cases` whose
// rawValue() is exactly `raw` (case-sensitive, untrimmed). Each enum's own
// rawValue overload is found by argument-dependent lookup.
template <typename Cases>
std::optional<std::ranges::range_value_t<Cases>> findRaw(const Cases& cases, QStringView raw)
{
    for (const auto c : cases)
        if (rawValue(c) == raw)
            return c;
    return std::nullopt;
}
