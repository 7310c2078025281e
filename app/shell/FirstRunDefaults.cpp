#include "shell/FirstRunDefaults.h"

#include "support/Settings.h"

#include <QVariant>

#include <array>
#include <utility>

namespace FirstRunDefaults {

namespace {

// Keys that only a store someone has used holds.
constexpr std::array existingUserKeys { "callsign", "mapStyle",       "showPrefixes",
                                        "showGrid", "clusterEnabled", "homeLatitude" };

bool belongsToExistingUser(const Settings& defaults)
{
    for (const char* key : existingUserKeys)
        if (defaults.contains(QLatin1String(key)))
            return true;
    return false;
}

void writeFreshInstall(Settings& defaults)
{
    // The callsign and home position are left to the welcome sheet.
    const std::array<std::pair<const char*, QVariant>, 12> values { {
        { "mapStyle", QStringLiteral("classic") },
          { "prefixColor", QStringLiteral("#FFEDB3FF") }, { "showPrefixes", true }, { "showCQZones", true },
            { "showITUZones", false }, { "showGreyline", true }, { "showAurora", true }, { "showMUF", false },
            { "showGrid", false }, { "clusterEnabled", true }, { "coverageBand", 0 },
            { "mapFit", QStringLiteral("fill") },
          }
    };
    for (const auto& [key, value] : values)
        defaults.setValue(QLatin1String(key), value);
}

} // namespace

void apply(Settings& defaults)
{
    if (defaults.intValue(QStringLiteral("defaultsVersion"), 0) > 0)
        return;

    if (belongsToExistingUser(defaults)) {
        // Older versions only had the proportion switch; a user who never
        // set it had the map stretched.
        if (!defaults.contains(QStringLiteral("mapFit"))) {
            const bool keep = defaults.boolValue(QStringLiteral("keepMapProportions"), false);
            defaults.setValue(QStringLiteral("mapFit"), keep ? QStringLiteral("fill") : QStringLiteral("stretch"));
        }
    } else {
        writeFreshInstall(defaults);
    }
    defaults.setValue(QStringLiteral("defaultsVersion"), currentVersion);
}

} // namespace FirstRunDefaults
