#include "geo/Maidenhead.h"

#include "support/TextTrim.h"

#include <algorithm>
#include <cmath>

namespace Maidenhead {

namespace {

struct PairRule {
    char first;     // '0' or 'A'
    int count;      // values 0 … count − 1
    double divisor; // of the previous pair's steps
};

constexpr PairRule pairRules[] = {
    { 'A', 18, 1 },  // field, steps 20° and 10°
    { '0', 10, 10 }, // square
    { 'A', 24, 24 }, // subsquare
    { '0', 10, 10 }, // extended square
};

} // namespace

std::optional<GeoCoordinate> coordinate(QStringView text)
{
    // Line breaks are no blanks: "JO65\n" is no locator.
    text = trimBlanks(text);
    const qsizetype length = text.size();
    if (length != 2 && length != 4 && length != 6 && length != 8)
        return std::nullopt;

    // Checked before upper-casing, which could turn a non-ASCII letter such
    // as a ligature into plain letters.
    char upper[8];
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80)
            return std::nullopt;
        upper[i] = (c >= u'a' && c <= u'z') ? char(c - u'a' + u'A') : char(c);
    }

    double longitude = -180;
    double latitude = -90;
    double longitudeStep = 20;
    double latitudeStep = 10;
    for (qsizetype pair = 0; pair < length / 2; ++pair) {
        const PairRule& rule = pairRules[pair];
        const int lonValue = upper[2 * pair] - rule.first;
        const int latValue = upper[2 * pair + 1] - rule.first;
        if (lonValue < 0 || lonValue >= rule.count || latValue < 0 || latValue >= rule.count)
            return std::nullopt;
        longitudeStep /= rule.divisor;
        latitudeStep /= rule.divisor;
        longitude += lonValue * longitudeStep;
        latitude += latValue * latitudeStep;
    }
    return GeoCoordinate { latitude + latitudeStep / 2, longitude + longitudeStep / 2 };
}

QString locator(const GeoCoordinate& coordinate, int precision)
{
    if (std::isnan(coordinate.latitude) || std::isnan(coordinate.longitude))
        return QString();

    double L;
    if (coordinate.longitude <= -180)
        L = 0;
    else if (coordinate.longitude > 179.999999)
        L = 359.999999;
    else
        L = coordinate.longitude + 180;

    double B = coordinate.latitude <= -90 ? -90 : std::min(coordinate.latitude, 89.999999);
    B += 90;

    // After the clamps every value is non-negative, so truncation is a floor
    // and no index leaves its alphabet.
    QString result;
    result.reserve(6);
    result += QChar(u'A' + int(L / 20));
    result += QChar(u'A' + int(B / 10));
    const double l = std::fmod(L, 20);
    const double b = std::fmod(B, 10);
    if (precision < 4)
        return result;

    result += QChar(u'0' + int(l / 2));
    result += QChar(u'0' + int(b));
    if (precision < 6)
        return result;

    result += QChar(u'a' + int(std::fmod(l, 2) * 12));
    result += QChar(u'a' + int((b - std::trunc(b)) * 24));
    return result;
}

} // namespace Maidenhead
