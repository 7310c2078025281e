#pragma once

#include <QString>

class Settings;
class StationAntennas;

// The station's per-band antennas from the stored text of
// SettingKeys::stationBandAntennas. Bands the text lacks (all of them when it does not
// parse) get the fallback antenna: the preset named by SettingKeys::stationAntenna
// (a dipole when absent or unknown) at 10 m with the gain of
// SettingKeys::stationCustomGainDBi (3.0 dBi when absent or no number).
StationAntennas savedStationAntennas(const QString& text);
StationAntennas savedStationAntennas(const QString& text, const Settings& defaults);
