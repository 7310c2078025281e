#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Strips telnet commands (option negotiation, sub-negotiation, NOP, GA and
// the like) and NUL bytes from what a cluster node sends, turns IAC IAC back
// into one byte 255, and holds back a command cut off at the end of a chunk
// until the next chunk completes it. It never answers a negotiation.
//
// One filter per connection: a reconnect starts with a fresh one.
class TelnetFilter {
public:
    // The most bytes held back. Real commands are a few bytes long; a node
    // that opens a sub-negotiation and never closes it would otherwise grow
    // memory without end. Beyond this the held-back command is given up and
    // dropped, and filtering starts afresh with the next chunk.
    static constexpr qsizetype maxPending = 64 * 1024;

    // Takes the next chunk in order of arrival, returns its data bytes.
    QByteArray filter(QByteArrayView chunk);

    // The unfinished command held back from the chunks so far.
    const QByteArray& pending() const { return m_pending; }

private:
    QByteArray m_pending;
    // How far into `m_pending` the search for the end of a sub-negotiation
    // already got, so that a trickle of small chunks is not searched again
    // from its start every time.
    qsizetype m_searched = 0;
};
