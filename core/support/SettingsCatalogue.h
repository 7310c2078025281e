#pragma once

#include "support/SettingKey.h"

#include <array>
#include <variant>

// Every settings key the application reads or writes, declared once: its
// name, its type, the default its readers take and, where a fresh install
// writes one, the first-run value. Nothing else in the application spells a
// key or its default; code reads and writes through Settings::get/set.
//
// Where the reader's default and the first-run value differ it is on
// purpose: a store that predates the first-run step keeps the reader's
// default ("showGrid", "showCQZones", "mapStyle", "clusterEnabled").
//
// Ranges are those of the settings controls that edit the key; readers clamp
// into them (a hand-edited file cannot ask for a 2000-point font, a latitude
// of 546 degrees or a border a mile wide), while the store keeps what was
// written. Every number key of type double has a range: a reader never meets
// a value its control could not show.
namespace SettingKeys {

// --- Application shell --------------------------------------------------

inline constexpr IntKey defaultsVersion { .name = "defaultsVersion", .fallback = 0 };
// Read once to migrate a store from before "mapFit"; nothing writes it.
inline constexpr BoolKey keepMapProportions { .name = "keepMapProportions", .fallback = false };
inline constexpr BoolKey welcomeShown { .name = "welcomeShown", .fallback = false };
// The main window's size, place and maximised state as QWidget::saveGeometry
// gives them, in Base64; empty until a main window was shown.
inline constexpr TextKey mainWindowGeometry { .name = "mainWindowGeometry" };
inline constexpr TextKey callsign { .name = "callsign" };
inline constexpr DoubleKey homeLatitude { .name = "homeLatitude", .fallback = 54.687, .min = -90, .max = 90 };
inline constexpr DoubleKey homeLongitude { .name = "homeLongitude", .fallback = 25.28, .min = -180, .max = 180 };
inline constexpr BoolKey use24Hour { .name = "use24Hour", .fallback = true };
inline constexpr TextKey clockFontFamily { .name = "clockFontFamily", .fallback = "System" };
inline constexpr DoubleKey clockFontSize { .name = "clockFontSize", .fallback = 40, .min = 20, .max = 96 };
inline constexpr BoolKey clockFontBold { .name = "clockFontBold", .fallback = false };
inline constexpr TextKey clockFontColor { .name = "clockFontColor" }; // empty: the card's own colour
inline constexpr BoolKey clockShowSeconds { .name = "clockShowSeconds", .fallback = true };

// --- World map ----------------------------------------------------------

inline constexpr TextKey mapStyle { .name = "mapStyle", .fallback = "dark", .firstRun = "classic" };
inline constexpr TextKey mapFit { .name = "mapFit", .fallback = "fill", .firstRun = "fill" };
inline constexpr BoolKey showPrefixes { .name = "showPrefixes", .fallback = true, .firstRun = true };
inline constexpr BoolKey showAurora { .name = "showAurora", .fallback = true, .firstRun = true };
inline constexpr BoolKey showGreyline { .name = "showGreyline", .fallback = true, .firstRun = true };
inline constexpr BoolKey showGrid { .name = "showGrid", .fallback = true, .firstRun = false };
inline constexpr BoolKey showCQZones { .name = "showCQZones", .fallback = false, .firstRun = true };
inline constexpr BoolKey showITUZones { .name = "showITUZones", .fallback = false, .firstRun = false };
inline constexpr BoolKey showMUF { .name = "showMUF", .fallback = false, .firstRun = false };
inline constexpr TextKey prefixColor { .name = "prefixColor", .fallback = "#FFEDB3", .firstRun = "#FFEDB3FF" };
inline constexpr TextKey prefixFontFamily { .name = "prefixFontFamily", .fallback = "System" };
inline constexpr DoubleKey prefixFontSize { .name = "prefixFontSize", .fallback = 10, .min = 6, .max = 24 };
inline constexpr BoolKey prefixFontBold { .name = "prefixFontBold", .fallback = true };
inline constexpr TextKey zoneFontFamily { .name = "zoneFontFamily", .fallback = "System" };
inline constexpr DoubleKey zoneFontSize { .name = "zoneFontSize", .fallback = 16, .min = 8, .max = 40 };
inline constexpr BoolKey zoneFontBold { .name = "zoneFontBold", .fallback = true };
inline constexpr TextKey cqZoneColor { .name = "cqZoneColor", .fallback = "#FF9F43" };
inline constexpr TextKey ituZoneColor { .name = "ituZoneColor", .fallback = "#4FD1E8" };
inline constexpr DoubleKey zoneLineOpacity { .name = "zoneLineOpacity", .fallback = 0.6, .min = 0.1, .max = 1.0 };
inline constexpr TextKey borderColor { .name = "borderColor" }; // empty: the style's border colour
inline constexpr DoubleKey borderWidth { .name = "borderWidth", .fallback = 0.6, .min = 0.3, .max = 3.0 };
inline constexpr BoolKey bordersOverMUF { .name = "bordersOverMUF", .fallback = true };
inline constexpr TextKey gridFontFamily { .name = "gridFontFamily", .fallback = "System" };
inline constexpr DoubleKey gridFontSize { .name = "gridFontSize", .fallback = 9, .min = 6, .max = 24 };
inline constexpr TextKey gridLabelColor { .name = "gridLabelColor" }; // empty: derived from the style
inline constexpr DoubleKey nightIntensity { .name = "nightIntensity2", .fallback = 0.45, .min = 0, .max = 0.95 };
inline constexpr DoubleKey greylineGlow { .name = "greylineGlow2", .fallback = 0.1, .min = 0, .max = 0.5 };
inline constexpr DoubleKey auroraOpacity { .name = "auroraOpacity", .fallback = 0.85, .min = 0.2, .max = 2.5 };
inline constexpr TextKey mufColors { .name = "mufColors" }; // ten colour texts; anything else: the default palette
inline constexpr DoubleKey mufOpacity { .name = "mufOpacity", .fallback = 0.55, .min = 0.1, .max = 0.9 };
inline constexpr BoolKey mufContours { .name = "mufContours", .fallback = true };
inline constexpr BoolKey mufBanded { .name = "mufBanded", .fallback = true };

// --- DX cluster and logbook ---------------------------------------------

inline constexpr BoolKey clusterEnabled { .name = "clusterEnabled", .fallback = false, .firstRun = true };
inline constexpr TextKey clusterNode { .name = "clusterNode", .fallback = "ve7cc" };
inline constexpr TextKey clusterCustomAddress { .name = "clusterCustomAddress" };
inline constexpr TextKey clusterCommands { .name = "clusterCommands" };
inline constexpr TextKey clusterModeFilter { .name = "clusterModeFilter", .fallback = "all" };
// Only an absent key takes the default bands; a stored "" is no band at all.
inline constexpr TextKey clusterBands { .name = "clusterBands", .fallback = "160,80,60,40,30,20,17,15,12,10,6" };
// At least one minute; at most a year, so the age arithmetic cannot overflow.
inline constexpr IntKey clusterSpotMinutes { .name = "clusterSpotMinutes", .fallback = 20, .min = 1, .max = 525600 };
inline constexpr TextKey clusterShow { .name = "clusterShow", .fallback = "all" };
inline constexpr TextKey clusterNeedScope { .name = "clusterNeedScope", .fallback = "country" };
inline constexpr BoolKey clusterConfirmedOnly { .name = "clusterConfirmedOnly", .fallback = false };
inline constexpr TextKey clusterWatchCalls { .name = "clusterWatchCalls" };
inline constexpr TextKey clusterSpotColor { .name = "clusterSpotColor", .fallback = "#FF4FD8" };
inline constexpr TextKey clusterNeededColor { .name = "clusterNeededColor", .fallback = "#FFC400" };
inline constexpr TextKey clusterWatchColor { .name = "clusterWatchColor", .fallback = "#3CF0A0" };
inline constexpr BoolKey alertNeeded { .name = "alertNeeded", .fallback = true };
inline constexpr BoolKey alertWatched { .name = "alertWatched", .fallback = true };
inline constexpr BoolKey alertSound { .name = "alertSound", .fallback = true };
inline constexpr BoolKey alertNotify { .name = "alertNotify", .fallback = true };
// Written by a logbook import, removed when the logbook is cleared.
inline constexpr TextKey logbookFileName { .name = "logbookFileName" };
inline constexpr TextKey logbookImportDate { .name = "logbookImportDate" }; // ISO 8601, UTC

// --- Space weather and ionosphere ---------------------------------------

inline constexpr TextKey indexSource { .name = "indexSource", .fallback = "noaa" };
inline constexpr TextKey mufSource { .name = "mufSource", .fallback = "zelq" };
// At least 5 minutes; at most a week, which a timer can still count.
inline constexpr IntKey refreshMinutes { .name = "refreshMinutes", .fallback = 10, .min = 5, .max = 10080 };

// --- Propagation prediction ---------------------------------------------

inline constexpr IntKey coverageBand { .name = "coverageBand", .fallback = 0, .firstRun = 0 };
inline constexpr TextKey predictionEngine { .name = "predictionEngine", .fallback = "itu" };
inline constexpr TextKey predictionMode { .name = "predictionMode", .fallback = "ssb" };
inline constexpr TextKey noiseEnvironment { .name = "noiseEnvironment", .fallback = "residential" };
// From the power picker's least choice to its greatest.
inline constexpr DoubleKey stationPowerW { .name = "stationPowerW", .fallback = 100, .min = 5, .max = 1500 };
inline constexpr TextKey stationBandAntennas { .name = "stationBandAntennas" }; // JSON object by band
// A stored table that did not decode, kept before the first edit replaces it.
inline constexpr TextKey stationBandAntennasUnreadable { .name = "stationBandAntennasUnreadable" };
inline constexpr BoolKey showPredictionWheel { .name = "showPredictionWheel", .fallback = true };
// The fallback antenna on bands the table lacks; read only, nothing writes them.
// No control edits the gain; its range is that of the antenna gains the
// predictions work with (they floor every gain at -30 dBi).
inline constexpr TextKey stationAntenna { .name = "stationAntenna", .fallback = "dipole" };
inline constexpr DoubleKey stationCustomGainDBi {
    .name = "stationCustomGainDBi", .fallback = 3.0, .min = -30, .max = 30
};

// --- Rotator control ----------------------------------------------------

inline constexpr TextKey rotators { .name = "rotators", .fallback = "[]" }; // JSON array of configurations
// A stored list that did not decode, kept before the first edit replaces it.
inline constexpr TextKey rotatorsUnreadable { .name = "rotatorsUnreadable" };

// --- Support services ---------------------------------------------------

// A developer's release feed (http://127.0.0.1 only); nothing writes it.
inline constexpr TextKey updateFeedURL { .name = "updateFeedURL" };

// --- What a fresh install writes ----------------------------------------

using AnyKey = std::variant<BoolKey, IntKey, DoubleKey, TextKey>;

// The keys with a first-run value; the first-run step writes exactly these.
inline constexpr std::array<AnyKey, 12> firstRunKeys {
    mapStyle,     prefixColor, showPrefixes, showCQZones,    showITUZones, showGreyline,
    showAurora,   showMUF,     showGrid,     clusterEnabled, coverageBand, mapFit,
};

// A store that holds any of these belongs to a user from before the
// first-run step (tested in this order).
inline constexpr std::array<AnyKey, 6> existingUserKeys {
    callsign, mapStyle, showPrefixes, showGrid, clusterEnabled, homeLatitude,
};

} // namespace SettingKeys
