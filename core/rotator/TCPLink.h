#pragma once

#include "rotator/RotatorLink.h"

#include <memory>

// A TCP connection to a Hamlib rotctld server.
class TCPLink : public FDLink {
public:
    // Connects to `host` at `port`, trying each address the name resolves
    // to. `timeout` (seconds) bounds each connection attempt and each write.
    // A port outside 1...65535 is refused with a message that says so.
    static RotatorLinkResult<std::unique_ptr<TCPLink>> connect(const QString& host, int port, double timeout);

private:
    TCPLink(int fd, double timeout);
};
