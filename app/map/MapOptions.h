#pragma once

#include "geo/GeoMath.h"
#include "kit/MapStyle.h"
#include "map/MapFit.h"
#include "prediction/PropagationPredictor.h"

#include <QString>

class Settings;

// Everything the world map reads from the settings, as one typed value. The
// view rebuilds it when one of its keys changes (isMapKey) and paints from
// it, so a paint reads no settings. Field defaults are the readers'
// defaults of the settings catalogue; colour texts stay texts, where an
// empty text means the layer's own colour.
struct MapOptions {
    // Layers on and off.
    bool showPrefixes = true;
    bool showAurora = true;
    bool showGreyline = true;
    bool showGrid = true;
    bool showCQZones = false;
    bool showITUZones = false;
    bool showMUF = false;

    // Base map and greyline.
    MapStyle mapStyle = MapStyle::dark;
    MapFit mapFit = MapFit::fill;
    QString borderColor;
    double borderWidth = 0.6;
    bool bordersOverMUF = true;
    QString gridFont;
    double gridSize = 9;
    QString gridColor;
    double nightIntensity = 0.45;
    double greylineGlow = 0.1;
    double auroraOpacity = 0.85;

    // Station.
    GeoCoordinate home;
    QString callsign;

    // Labels and zones.
    QString prefixFont;
    double prefixSize = 10;
    bool prefixBold = true;
    QString prefixColor;
    QString zoneFont;
    double zoneSize = 16;
    bool zoneBold = true;
    QString cqColor;
    QString ituColor;
    double zoneLineOpacity = 0.6;

    // MUF.
    QString mufColors;
    double mufOpacity = 0.55;
    bool mufContours = true;
    bool mufBanded = true;

    // Predictions.
    int coverageBand = 0;
    bool showPredictionWheel = true;
    QString predictionEngine;
    StationSetup station { 100, StationAntennas(), PredictionMode::ssb, NoiseEnvironment::residential };

    // DX cluster display.
    bool clusterEnabled = false;
    QString clusterMode;
    QString clusterBands;
    QString spotColor;
    QString neededColor;
    QString watchColor;
    QString clusterShow;
    QString needScope;
    bool confirmedOnly = false;
    QString watchCalls;

    static MapOptions read(const Settings& settings);
    // Whether a change of this settings key changes what the map shows.
    static bool isMapKey(const QString& key);

    // The readers several views share: the fit mode (unknown texts: fill),
    // the style (unknown texts: dark) and the station for predictions.
    static MapFit fit(const Settings& settings);
    static MapStyle style(const Settings& settings);
    static StationSetup stationSetup(const Settings& settings);

    friend bool operator==(const MapOptions&, const MapOptions&) = default;
};
