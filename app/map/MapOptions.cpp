#include "map/MapOptions.h"

#include "prediction/SavedStationAntennas.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QSet>

#include <variant>

namespace {

using namespace SettingKeys;

// The keys the map reads; a change of any of them redraws it.
constexpr std::array<AnyKey, 54> mapKeys {
    showPrefixes,       showAurora,         showGreyline,   showGrid,         showCQZones,
    showITUZones,       auroraOpacity,      nightIntensity, greylineGlow,     homeLatitude,
    homeLongitude,      callsign,           prefixFontFamily, prefixFontSize, prefixFontBold,
    prefixColor,        zoneFontFamily,     zoneFontSize,   zoneFontBold,     cqZoneColor,
    ituZoneColor,       zoneLineOpacity,    mapStyle,       mapFit,           borderColor,
    borderWidth,        bordersOverMUF,     mufColors,      gridFontFamily,   gridFontSize,
    gridLabelColor,     showMUF,            mufOpacity,     mufContours,      mufBanded,
    coverageBand,       showPredictionWheel, predictionEngine, stationPowerW, stationBandAntennas,
    predictionMode,     noiseEnvironment,   stationAntenna, stationCustomGainDBi, clusterEnabled,
    clusterModeFilter,  clusterBands,       clusterSpotColor, clusterNeededColor, clusterWatchColor,
    clusterShow,        clusterNeedScope,   clusterConfirmedOnly, clusterWatchCalls,
};

} // namespace

bool MapOptions::isMapKey(const QString& key)
{
    static const QSet<QString> names = [] {
        QSet<QString> set;
        for (const AnyKey& k : mapKeys)
            set.insert(QLatin1String(std::visit([](const auto& entry) { return entry.name; }, k)));
        return set;
    }();
    return names.contains(key);
}

MapFit MapOptions::fit(const Settings& settings)
{
    return MapFits::fromRaw(settings.get(SettingKeys::mapFit)).value_or(MapFit::fill);
}

MapStyle MapOptions::style(const Settings& settings)
{
    return MapStyles::fromRaw(settings.get(SettingKeys::mapStyle)).value_or(MapStyle::dark);
}

StationSetup MapOptions::stationSetup(const Settings& settings)
{
    return StationSetup(settings.get(SettingKeys::stationPowerW), savedStationAntennas(settings.get(SettingKeys::stationBandAntennas), settings),
                        PredictionModes::fromSetting(settings.get(SettingKeys::predictionMode)),
                        NoiseEnvironments::fromSetting(settings.get(SettingKeys::noiseEnvironment)));
}

MapOptions MapOptions::read(const Settings& s)
{
    MapOptions o;
    o.showPrefixes = s.get(SettingKeys::showPrefixes);
    o.showAurora = s.get(SettingKeys::showAurora);
    o.showGreyline = s.get(SettingKeys::showGreyline);
    o.showGrid = s.get(SettingKeys::showGrid);
    o.showCQZones = s.get(SettingKeys::showCQZones);
    o.showITUZones = s.get(SettingKeys::showITUZones);
    o.showMUF = s.get(SettingKeys::showMUF);

    o.mapStyle = style(s);
    o.mapFit = fit(s);
    o.borderColor = s.get(SettingKeys::borderColor);
    o.borderWidth = s.get(SettingKeys::borderWidth);
    o.bordersOverMUF = s.get(SettingKeys::bordersOverMUF);
    o.gridFont = s.get(SettingKeys::gridFontFamily);
    o.gridSize = s.get(SettingKeys::gridFontSize);
    o.gridColor = s.get(SettingKeys::gridLabelColor);
    o.nightIntensity = s.get(SettingKeys::nightIntensity);
    o.greylineGlow = s.get(SettingKeys::greylineGlow);
    o.auroraOpacity = s.get(SettingKeys::auroraOpacity);

    o.home = GeoCoordinate { s.get(SettingKeys::homeLatitude), s.get(SettingKeys::homeLongitude) };
    o.callsign = s.get(SettingKeys::callsign);

    o.prefixFont = s.get(SettingKeys::prefixFontFamily);
    o.prefixSize = s.get(SettingKeys::prefixFontSize);
    o.prefixBold = s.get(SettingKeys::prefixFontBold);
    o.prefixColor = s.get(SettingKeys::prefixColor);
    o.zoneFont = s.get(SettingKeys::zoneFontFamily);
    o.zoneSize = s.get(SettingKeys::zoneFontSize);
    o.zoneBold = s.get(SettingKeys::zoneFontBold);
    o.cqColor = s.get(SettingKeys::cqZoneColor);
    o.ituColor = s.get(SettingKeys::ituZoneColor);
    o.zoneLineOpacity = s.get(SettingKeys::zoneLineOpacity);

    o.mufColors = s.get(SettingKeys::mufColors);
    o.mufOpacity = s.get(SettingKeys::mufOpacity);
    o.mufContours = s.get(SettingKeys::mufContours);
    o.mufBanded = s.get(SettingKeys::mufBanded);

    o.coverageBand = int(std::clamp<qint64>(s.get(SettingKeys::coverageBand), 0, 1000));
    o.showPredictionWheel = s.get(SettingKeys::showPredictionWheel);
    o.predictionEngine = s.get(SettingKeys::predictionEngine);
    o.station = stationSetup(s);

    o.clusterEnabled = s.get(SettingKeys::clusterEnabled);
    o.clusterMode = s.get(SettingKeys::clusterModeFilter);
    o.clusterBands = s.get(SettingKeys::clusterBands);
    o.spotColor = s.get(SettingKeys::clusterSpotColor);
    o.neededColor = s.get(SettingKeys::clusterNeededColor);
    o.watchColor = s.get(SettingKeys::clusterWatchColor);
    o.clusterShow = s.get(SettingKeys::clusterShow);
    o.needScope = s.get(SettingKeys::clusterNeedScope);
    o.confirmedOnly = s.get(SettingKeys::clusterConfirmedOnly);
    o.watchCalls = s.get(SettingKeys::clusterWatchCalls);
    return o;
}
