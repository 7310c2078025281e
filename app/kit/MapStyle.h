#pragma once

#include <QColor>
#include <QString>

#include <array>
#include <optional>

// The base-map colour scheme the user picks (SettingKeys::mapStyle),
// stored by its raw text. Declaration order is the order style pickers list.
enum class MapStyle {
    dark,
    atlas,
    grey,
    classic,
    political,
    contrast,
    outline,
    terrain,
    midnight,
    teal,
    parchment,
    arctic,
    sand,
};

namespace MapStyles {

// Every style in declaration order.
const std::array<MapStyle, 13>& allCases();

QString rawValue(MapStyle style);
// Exactly the 13 raw texts, case-sensitive; anything else gives none.
std::optional<MapStyle> fromRaw(const QString& text);

QString title(MapStyle style);

QColor oceanTop(MapStyle style);
QColor oceanBottom(MapStyle style);
// Never painted in the outline style.
QColor land(MapStyle style);
// The default country-border colour, opacity included.
QColor border(MapStyle style);
// Light styles draw the graticule and overlays dark-on-light.
bool isLight(MapStyle style);

// Country colours of the political style, indexed by colour group 1...7
// minus one.
const std::array<QColor, 7>& politicalPalette();

} // namespace MapStyles

// Fixed colours that do not depend on the map style.
namespace MapTheme {

QColor oceanTop();    // label previews in the settings window: the dark style's
QColor home();        // home station marker
QColor sun();         // subsolar point marker
QColor panel();       // main window background
QColor panelStroke(); // info bar cards, watch strip, space weather panel
QColor accent();      // sun card

} // namespace MapTheme
