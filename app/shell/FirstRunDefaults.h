#pragma once

class Settings;

// Brings a settings store to the first version of the defaults, once: a
// fresh install gets the map and cluster defaults; an existing user's store
// only gets its SettingKeys::mapFit derived from the older proportion switch. Either
// way SettingKeys::defaultsVersion becomes 1, and from then on nothing is written.
namespace FirstRunDefaults {

constexpr int currentVersion = 1;

void apply(Settings& defaults);

} // namespace FirstRunDefaults
