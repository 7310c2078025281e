#pragma once

#include "support/SettingKey.h"

#include <QColor>
#include <QString>

class Settings;

// Colour texts: how every colour setting is stored. Read from an optional
// "#" and six (RRGGBB) or eight (RRGGBBAA) hexadecimal digits in either
// case; always written as "#" and eight upper-case digits. Colours are sRGB.
namespace Color {

// The colour of a colour text; never fails. A text that is no proper colour
// text still yields a colour (most often opaque black): the digits read from
// its start decide the channels, and only a text of exactly eight characters
// after the "#" carries opacity.
QColor fromHex(const QString& text);

// "#RRGGBBAA", upper case, each channel rounded to the nearest byte. An
// invalid colour is written as white.
QString hexString(const QColor& color);

// a + (b − a) × fraction per channel, opacity included; the fraction is
// clamped to 0...1 and NaN counts as 0. An invalid colour mixes as mid grey.
QColor mix(const QColor& a, const QColor& b, double fraction);

// Removes the tab and the Unicode space separators at both ends, but not
// line breaks: how colour texts and lists of them are trimmed.
QString trimBlanks(const QString& text);

} // namespace Color

// A colour control's two-way view of a stored colour text: reading gives the
// text's colour (the key's default while it is absent; an empty text reads
// as opaque black), writing stores the colour's text through the settings
// store.
class ColorBinding {
public:
    ColorBinding(Settings& settings, const TextKey& key);

    QColor color() const;
    void setColor(const QColor& color) const;
    const TextKey& key() const { return m_key; }

private:
    Settings* m_settings;
    TextKey m_key;
};

ColorBinding colorBinding(Settings& settings, const TextKey& key);
