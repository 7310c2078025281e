#include "shell/SettingsDefault.h"

#include "cluster/Band.h"
#include "prediction/StationAntennas.h"
#include "support/Settings.h"

namespace SettingsDefault {

const QString& clusterBands()
{
    static const QString text = encodeBands(defaultBandSelection());
    return text;
}

} // namespace SettingsDefault

StationAntennas savedStationAntennas(const QString& text) { return savedStationAntennas(text, Settings::standard()); }

StationAntennas savedStationAntennas(const QString& text, const Settings& defaults)
{
    BandAntenna fallback;
    fallback.type = AntennaPresets::fromRaw(
        defaults.stringValue(QStringLiteral("stationAntenna"))).value_or(AntennaPreset::dipole);
    fallback.heightM = 10.0;
    fallback.gainDBi = defaults.optionalDouble(QStringLiteral("stationCustomGainDBi")).value_or(3.0);
    return StationAntennas::decode(text, fallback);
}
