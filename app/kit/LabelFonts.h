#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// Fonts chosen in the settings by family name, size and a bold flag. The
// family "System" (exactly so) or an empty family means the system font;
// any other text is taken as a family name. Sizes are view points, the unit
// of every size on the map.

// Map labels (prefixes, zones, spots) and their previews: the system font at
// medium weight (bold when asked), or the named family at regular weight.
QFont labelFont(const QString& family, double size, bool bold);

// Clock cards and the sun card: the same choice as labelFont, for figures
// that tick. The size stays fractional (the sun times take three quarters of
// the clock's size): it is set in typographic points, a view point being a
// pixel at Qt's reference 96 dpi. Qt 6.4 has no switch for a font's tabular
// figures, so whatever draws with this font lays its digits out in equal
// cells (DigitCells) and a ticking clock never jitters.
QFont clockDisplayFont(const QString& family, double size, bool bold);

// True for the family texts that mean the system font: "System" (exactly so)
// and the empty text.
bool isSystemFontFamily(const QString& family);

// "System" first, then every installed font family sorted by character
// code (upper case before lower case). Read once per process.
const QStringList& installedFontFamilies();
