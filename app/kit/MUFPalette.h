#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

// The built-in colour ramp from a MUF in MHz: lilac at 5 MHz and below
// through blue, teal and green to yellow and orange at 35 MHz and above,
// mixed linearly between its six stops. Opaque.
QColor defaultMUFColor(double mhz);

// One colour per MUF contour level (MUFGrid::levels), as stored under
// SettingKeys::mufColors: ten colour texts separated by commas.
struct MUFPalette {
    QList<QColor> colors;
    QStringList hex; // the texts the colours were read from, as trimmed

    // The default ramp's colour texts, one per level; made once.
    static const QStringList& defaultHex();

    // Reads the stored text; never fails. Empty pieces between commas are
    // dropped before the rest are trimmed and counted; any count but ten
    // gives the default palette. A piece that is no proper colour text still
    // counts and reads by the colour-text rule.
    static MUFPalette fromHex(const QString& text);

    // The colour at a MUF value: the first level's colour at or below the
    // first level, the last one above the top level (and for NaN), and a
    // mix of the two neighbouring levels' colours in between.
    QColor color(double mhz) const;

    friend bool operator==(const MUFPalette&, const MUFPalette&) = default;
};
