#include "kit/Color.h"

#include "support/Settings.h"
#include "support/TextTrim.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The number in hexadecimal at the start of the text: white space and line
// breaks skipped, an optional "0x", then the run of digits. No sign is
// accepted; no digit gives 0; more digits than 64 bits hold give the
// largest value.
quint64 leadingHex(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    const bool prefixed = i + 2 < text.size() && text[i] == QLatin1Char('0')
        && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X')) && hexDigit(text[i + 2]) >= 0;
    if (prefixed)
        i += 2;
    quint64 value = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        const int d = hexDigit(text[i]);
        if (d < 0)
            break;
        if (value > (std::numeric_limits<quint64>::max() >> 4))
            overflow = true;
        value = (value << 4) | quint64(d);
    }
    return overflow ? std::numeric_limits<quint64>::max() : value;
}

// Characters as the user sees them: a letter with a combining mark, or an
// emoji, counts once.
qsizetype characterCount(const QString& text)
{
    const bool plain = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x300; });
    if (plain)
        return text.size();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

QColor srgb(const QColor& color, const QColor& fallback)
{
    if (!color.isValid())
        return fallback;
    return color.spec() == QColor::Rgb ? color : color.toRgb();
}

int toByte(double channel)
{
    // Halves away from zero; out-of-range components are kept to a byte.
    return std::clamp(int(std::lround(channel * 255.0)), 0, 255);
}

} // namespace

namespace Color {

QString trimBlanks(const QString& text) { return ::trimBlanks(text).toString(); }

QColor fromHex(const QString& text)
{
    QString rest = Color::trimBlanks(text);
    if (rest.startsWith(QLatin1Char('#')))
        rest.remove(0, 1);
    const quint64 n = leadingHex(rest);
    if (characterCount(rest) == 8)
        return QColor::fromRgb(int((n >> 24) & 0xFF), int((n >> 16) & 0xFF), int((n >> 8) & 0xFF), int(n & 0xFF));
    return QColor::fromRgb(int((n >> 16) & 0xFF), int((n >> 8) & 0xFF), int(n & 0xFF));
}

QString hexString(const QColor& color)
{
    const QColor c = srgb(color, QColor(Qt::white));
    const auto hex = [](int byte) { return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper(); };
    return QLatin1Char('#') + hex(toByte(c.redF())) + hex(toByte(c.greenF())) + hex(toByte(c.blueF()))
        + hex(toByte(c.alphaF()));
}

QColor mix(const QColor& a, const QColor& b, double fraction)
{
    const QColor grey = QColor::fromRgbF(0.5, 0.5, 0.5);
    const QColor x = srgb(a, grey);
    const QColor y = srgb(b, grey);
    const double t = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
    const auto lerp = [t](float p, float q) { return float(p + (q - p) * t); };
    return QColor::fromRgbF(lerp(x.redF(), y.redF()), lerp(x.greenF(), y.greenF()), lerp(x.blueF(), y.blueF()),
                            lerp(x.alphaF(), y.alphaF()));
}

} // namespace Color

ColorBinding::ColorBinding(Settings& settings, const TextKey& key)
    : m_settings(&settings)
    , m_key(key)
{
}

QColor ColorBinding::color() const { return Color::fromHex(m_settings->get(m_key)); }

void ColorBinding::setColor(const QColor& color) const { m_settings->set(m_key, Color::hexString(color)); }

ColorBinding colorBinding(Settings& settings, const TextKey& key) { return ColorBinding(settings, key); }
