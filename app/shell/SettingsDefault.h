#pragma once

#include <QString>

class Settings;
class StationAntennas;

// Fallbacks that several readers of one settings key share, computed once.
namespace SettingsDefault {

// The fallback of SettingKeys::clusterBands: the default band selection in its stored
// form, "160,80,60,40,30,20,17,15,12,10,6".
const QString& clusterBands();

} // namespace SettingsDefault

// The station's per-band antennas from the stored text of
// SettingKeys::stationBandAntennas. Bands the text lacks (all of them when it does not
// parse) get the fallback antenna: the preset named by SettingKeys::stationAntenna
// (a dipole when absent or unknown) at 10 m with the gain of
// SettingKeys::stationCustomGainDBi (3.0 dBi when absent or no number).
StationAntennas savedStationAntennas(const QString& text);
StationAntennas savedStationAntennas(const QString& text, const Settings& defaults);
