#include "DXSpot.h"

#include <QHashFunctions>

#include <cmath>
#include <utility>

namespace {

// The frequency's whole kHz, toward zero. Parsed spots are always finite;
// a hand-made spot with a huge or non-finite frequency still gets a key
// instead of undefined behaviour.
QString wholeKHzText(double kHz)
{
    if (std::isfinite(kHz) && std::fabs(kHz) < 9.0e15)
        return QString::number(static_cast<qint64>(std::trunc(kHz)));
    return QString::number(kHz, 'f', 0);
}

} // namespace

DXSpot::DXSpot(double frequencyKHz, QString call, QString spotter, QString comment, QDateTime time)
    : frequencyKHz(frequencyKHz)
    , call(std::move(call))
    , spotter(std::move(spotter))
    , comment(std::move(comment))
    , time(std::move(time))
    , mode(ModeClassifier::mode(frequencyKHz, this->comment))
    , band(bandForKHz(frequencyKHz))
{
}

QString DXSpot::id() const
{
    return call + u'|' + (band ? QString::number(rawValue(*band)) : wholeKHzText(frequencyKHz));
}

bool DXSpot::sameIdentity(const DXSpot& other) const
{
    if (band != other.band || call != other.call)
        return false;
    if (band)
        return true;
    const bool finite = std::isfinite(frequencyKHz) && std::fabs(frequencyKHz) < 9.0e15;
    const bool otherFinite = std::isfinite(other.frequencyKHz) && std::fabs(other.frequencyKHz) < 9.0e15;
    if (finite && otherFinite)
        return std::trunc(frequencyKHz) == std::trunc(other.frequencyKHz);
    return id() == other.id();
}

size_t qHash(const DXSpot& spot, size_t seed)
{
    return qHashMulti(seed, spot.frequencyKHz, spot.call, spot.spotter, spot.comment, spot.time,
                      spot.mode ? static_cast<int>(*spot.mode) + 1 : 0,
                      spot.band ? rawValue(*spot.band) : 0);
}
