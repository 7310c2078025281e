#pragma once

#include <QString>
#include <QtGlobal>

#include <concepts>
#include <limits>
#include <optional>

// The declaration of one settings key: its name, the type it is read as,
// the value its readers take when the key is absent or unreadable, and,
// where a fresh install writes one, the first-run value. The reader's
// default and the first-run value differ on purpose for some keys: a user
// whose store predates the first-run step keeps the reader's default.
//
// Keys are declared once, in SettingsCatalogue.h; Settings reads and
// writes them with the typed get/set overloads.

struct BoolKey {
    const char* name;
    bool fallback;
    std::optional<bool> firstRun = std::nullopt;
};

struct IntKey {
    const char* name;
    qint64 fallback;
    // Readers clamp a stored value into this range; the store keeps it.
    qint64 min = std::numeric_limits<qint64>::min();
    qint64 max = std::numeric_limits<qint64>::max();
    std::optional<qint64> firstRun = std::nullopt;
};

struct DoubleKey {
    const char* name;
    double fallback;
    // Readers clamp a stored value into this range; the store keeps it.
    double min = -std::numeric_limits<double>::infinity();
    double max = std::numeric_limits<double>::infinity();
    std::optional<double> firstRun = std::nullopt;
};

// Text, colour texts ("#RRGGBBAA", empty meaning "the reader's own colour"),
// raw texts of enumerations, comma lists and JSON texts.
struct TextKey {
    const char* name;
    const char* fallback = "";
    const char* firstRun = nullptr;
};


template <typename Key>
concept SettingKeyType = std::same_as<Key, BoolKey> || std::same_as<Key, IntKey> || std::same_as<Key, DoubleKey>
    || std::same_as<Key, TextKey>;

// Whether a changed key (as `Settings::changed` names it) is this one.
template <SettingKeyType Key>
bool isKey(const QString& changed, const Key& key)
{
    return changed == QLatin1String(key.name);
}
