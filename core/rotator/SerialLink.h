#pragma once

#include "rotator/RotatorLink.h"

#include <memory>

// A serial port opened for this application alone, raw 8N1 at one speed,
// without flow control or modem lines.
class SerialLink : public FDLink {
public:
    // How long a write waits for a device that takes no more bytes before
    // the link counts as closed. A command is a few bytes; even at 1200
    // baud it leaves in well under this.
    static constexpr double writeTimeout = 2.0;

    // Opens `path` at `baud` bit/s or fails with a message for the user.
    static RotatorLinkResult<std::unique_ptr<SerialLink>> open(const QString& path, int baud);

    // The port's name as the user knows it: "/dev/ttyUSB0" shows as "ttyUSB0".
    static QString shortName(const QString& path);

private:
    explicit SerialLink(int fd);
};
