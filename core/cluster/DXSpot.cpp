#include "cluster/DXSpot.h"

#include <QHashFunctions>

#include <cmath>
#include <utility>

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

std::optional<qint64> DXSpot::wholeKHz(double frequencyKHz)
{
    // The parser refuses frequencies without one; a hand-made spot with a
    // huge or non-finite frequency still gets a key instead of undefined
    // behaviour.
    if (std::isfinite(frequencyKHz) && std::fabs(frequencyKHz) < 9.0e15)
        return static_cast<qint64>(std::trunc(frequencyKHz));
    return std::nullopt;
}

QString DXSpot::id() const
{
    if (band)
        return call + u'|' + QString::number(rawValue(*band));
    const std::optional<qint64> kHz = wholeKHz();
    return call + u'|' + (kHz ? QString::number(*kHz) : QString::number(frequencyKHz, 'f', 0));
}

bool DXSpot::sameIdentity(const DXSpot& other) const
{
    if (band != other.band || call != other.call)
        return false;
    if (band)
        return true;
    const std::optional<qint64> kHz = wholeKHz();
    const std::optional<qint64> otherKHz = other.wholeKHz();
    if (kHz && otherKHz)
        return *kHz == *otherKHz;
    return id() == other.id();
}

size_t qHash(const DXSpot& spot, size_t seed)
{
    return qHashMulti(seed, spot.frequencyKHz, spot.call, spot.spotter, spot.comment, spot.time,
                      spot.mode ? static_cast<int>(*spot.mode) + 1 : 0, spot.band ? rawValue(*spot.band) : 0);
}
