#include "prediction/SavedStationAntennas.h"

#include "prediction/StationAntennas.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

StationAntennas savedStationAntennas(const QString& text) { return savedStationAntennas(text, Settings::standard()); }

StationAntennas savedStationAntennas(const QString& text, const Settings& defaults)
{
    BandAntenna fallback;
    fallback.type = AntennaPresets::fromRaw(defaults.get(SettingKeys::stationAntenna)).value_or(AntennaPreset::dipole);
    fallback.heightM = 10.0;
    fallback.gainDBi = defaults.get(SettingKeys::stationCustomGainDBi);
    return StationAntennas::decode(text, fallback);
}
