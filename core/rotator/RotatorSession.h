#pragma once

#include "rotator/RotatorLink.h"
#include "rotator/RotatorProtocol.h"

#include <memory>

// One conversation with a rotator controller over an open link: asks for
// the azimuth and waits for an answer the dialect understands, and sends
// move, stop and speed commands, swallowing whatever the controller echoes
// so the next query starts on a quiet line. Everything it remembers between
// calls lives in the link's receive buffer. Used from one thread only; every
// call blocks that thread.
class RotatorSession {
public:
    RotatorSession(RotatorProtocol proto, std::unique_ptr<RotatorLink> link);

    RotatorProtocol proto() const { return m_proto; }

    // The controller's azimuth in its own degrees. Fails with noAnswer when
    // nothing came within `timeout` seconds, with notUnderstood when only
    // answers the dialect cannot read came, or with the link's error.
    RotatorLinkResult<double> readPosition(double timeout);
    // `azimuth` is already in controller degrees.
    RotatorLinkResult<void> moveTo(int azimuth);
    RotatorLinkResult<void> stop();
    // Dialects without speed control ignore it: nothing is sent.
    RotatorLinkResult<void> setSpeed(int level);
    // Closes the link; the controller is told nothing.
    void close();

private:
    RotatorLinkResult<void> command(const QByteArray& text);
    void drain();

    const RotatorProtocol m_proto;
    const std::unique_ptr<RotatorLink> m_link;
};

// The speed levels of a soft start and stop: slow for the first seconds of
// a turn and over its last degrees, whichever limit is lower now.
namespace RotatorRamp {

// 1 to 4.
int speed(double secondsTurning, double degreesLeft);

} // namespace RotatorRamp
