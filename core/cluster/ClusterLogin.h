#pragma once

#include <QByteArray>
#include <QStringList>
#include <QStringView>

// The client's side of a node's login: when to send the callsign, and what
// follows it. The callsign goes at most once per connection, on the first of
// three triggers: a prompt, a complete line asking for it, or a fixed wait
// after the connection is up (for nodes that never ask).
namespace ClusterLogin {

// The request for the recent spots sent after the login commands.
inline constexpr QStringView recentSpotsCommand = u"sh/dx 50";

// A complete line that asks for the call: "login", "your call" or
// "callsign" in any case.
bool lineAsksForCall(QStringView line);

// The unfinished line a node leaves waiting for input ("login: "): it asks
// when it holds "login" or "call" in any case.
bool promptAsksForCall(QStringView unfinished);

// What follows the callsign, in order: the login commands as typed, split at
// every ";" and every line feed that is not part of a CR LF pair, each
// trimmed of blanks and tabs, blank ones dropped; then the recent spots
// request.
QStringList linesAfterCallsign(QStringView extraCommands);

// One line as the node expects it: UTF-8, ended by CR LF.
QByteArray encodeLine(QStringView text);

} // namespace ClusterLogin
