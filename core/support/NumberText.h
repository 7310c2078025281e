#pragma once

#include <QString>

// Numbers written the way C's printf writes them with "%.Nf": the exact
// binary value rounded to N decimals, an exact half to the even digit (152.5
// gives "152", 14.5 gives "14"), a point as the decimal separator whatever
// the user's or the C library's locale. Every number the windows and the map
// format so goes through here, so one value reads the same in a tile, on the
// map and in the hover panel.
namespace NumberText {

// The value with `decimals` decimals, zero-padded after the sign to at
// least `width` characters ("%03.0f": 7 gives "007").
QString fixed(double value, int decimals, int width = 0);

// A text with one "%.Nf" (optionally "%0W.Nf") in it, the value written
// there as fixed() writes it; "%%" is a percent sign. Meant for the
// constant formats of the code ("MUF here ≈ %.0f MHz"), not for formats
// from outside.
QString printf(const char* format, double value);

} // namespace NumberText
