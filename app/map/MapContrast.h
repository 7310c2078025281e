#pragma once

#include <QColor>

// How the map's overlay texts stay readable on every style. The colours
// the overlays are given (the callsign's white, the zones' orange and
// cyan, the bright tints of spots, rotators and MUF levels) are made for
// the dark styles; on a light style each takes a partner of the same hue,
// dark enough to read there, as the prefix labels take a dark colour of
// their own. Contrast is measured as the web's accessibility rules do.
namespace MapContrast {

// The relative luminance of a colour, 0 (black) to 1 (white); its opacity
// is ignored.
double luminance(const QColor& colour);
// The contrast ratio of two luminances, 1 to 21.
double ratio(double a, double b);

// True for the halo of a light style (white), false for a dark one's.
bool isLightHalo(const QColor& halo);

// The colour an overlay draws over its halo: over a dark halo the colour
// as given; over a light halo its hue and saturation kept, darkened just
// enough to read at 4.5 : 1 on the darkest ground a light style shows
// through a plate or glow (its night side under the MUF shading). A colour
// dark enough already stays as it is; the opacity is kept.
QColor onHalo(const QColor& colour, const QColor& halo);

} // namespace MapContrast
