#include "shell/FirstRunDefaults.h"

#include "map/MapFit.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <variant>

namespace FirstRunDefaults {

namespace {

bool belongsToExistingUser(const Settings& defaults)
{
    for (const SettingKeys::AnyKey& key : SettingKeys::existingUserKeys)
        if (std::visit([&](const auto& k) { return defaults.contains(k); }, key))
            return true;
    return false;
}

void writeFirstRunValue(Settings& defaults, const SettingKeys::AnyKey& key)
{
    std::visit(
        [&](const auto& k) {
            if constexpr (std::is_same_v<std::decay_t<decltype(k)>, TextKey>) {
                if (k.firstRun)
                    defaults.set(k, QString::fromUtf8(k.firstRun));
            } else if (k.firstRun) {
                defaults.set(k, *k.firstRun);
            }
        },
        key);
}

} // namespace

void apply(Settings& defaults)
{
    using namespace SettingKeys;
    if (defaults.get(defaultsVersion) > 0)
        return;

    if (belongsToExistingUser(defaults)) {
        // Older versions only had the proportion switch; a user who never
        // set it had the map stretched.
        if (!defaults.contains(mapFit))
            defaults.set(mapFit, MapFits::rawValue(defaults.get(keepMapProportions) ? MapFit::fill : MapFit::stretch));
    } else {
        // The callsign and home position are left to the welcome sheet.
        for (const AnyKey& key : firstRunKeys)
            writeFirstRunValue(defaults, key);
    }
    defaults.set(defaultsVersion, currentVersion);
}

} // namespace FirstRunDefaults
