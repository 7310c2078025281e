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
// that tick. Qt 6.4 has no switch for tabular figures; the usual desktop
// fonts (DejaVu, Noto, Liberation) draw their digits at equal width anyway.
QFont clockDisplayFont(const QString& family, double size, bool bold);

// "System" first, then every installed font family sorted by character
// code (upper case before lower case). Read once per process.
const QStringList& installedFontFamilies();
