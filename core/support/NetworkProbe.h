#pragma once

#include <QString>

// A look at this machine's network, for a failed lookup or connection: so
// that a host out of reach for want of any network is told as that, not as
// the host's failure.
namespace NetworkProbe {

// Whether `host` is out of reach for want of a network: it is not this
// machine, and no interface but the loopback one is up with an address,
// whatever the lookup or the socket says.
bool offline(const QString& host);

} // namespace NetworkProbe
