#pragma once

#include "geo/GeoMath.h"

#include <QString>
#include <QStringView>

#include <optional>

// Maidenhead grid locators: pairs of characters, longitude first, for the
// field (A–R), square (0–9), subsquare (A–X) and extended square (0–9).
namespace Maidenhead {

// The centre of the square a locator of 2, 4, 6 or 8 characters names, in
// either case. Blanks and tabs around the text are ignored, line breaks are
// not. Nothing for anything else, including any non-ASCII character.
std::optional<GeoCoordinate> coordinate(QStringView text);

// The locator of a coordinate: 2 characters for a precision below 4, 4 for
// 4 or 5, 6 (subsquare in lower case) above. Out-of-range values are clamped
// to the edges of the grid, not wrapped. A coordinate holding NaN has no
// locator: the result is empty.
QString locator(const GeoCoordinate& coordinate, int precision);

} // namespace Maidenhead
