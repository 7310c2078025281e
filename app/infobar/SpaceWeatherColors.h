#pragma once

#include <QColor>

// The colours of the space weather panel's ratings: good green, yellow-green
// and the desktop's yellow, orange and red, each walked down from the top
// by strict less-than tests; a NaN falls through to the last colour.
namespace SpaceWeatherColors {

QColor goodGreen();   // sRGB 0.4, 0.85, 0.45
QColor yellowGreen(); // sRGB 0.75, 0.9, 0.35

} // namespace SpaceWeatherColors

// Kp below 3 good green, below 4 yellow-green, below 5 yellow, below 7
// orange, else red.
QColor kpColor(double kp);
// A below 8 good green, below 16 yellow-green, below 30 yellow, below 50
// orange, else red.
QColor aColor(double a);
// Solar flux below 70 red, below 90 orange, below 120 yellow, else good green.
QColor fluxColor(double flux);
// Sunspot number below 25 red, below 50 orange, below 100 yellow, else good
// green.
QColor sunspotColor(double ssn);
