#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Turns the data bytes of a cluster connection (telnet already stripped) into
// lines. The bytes are decoded as UTF-8 across chunks, so a character whose
// bytes arrive in two chunks is joined; invalid bytes become U+FFFD.
//
// A line ends at LF, VT, FF, CR, NEL, LS or PS; CR LF is one break. Lines are
// trimmed of blanks, tabs and control characters such as the BEL that some
// nodes send before CR LF; empty lines are skipped.
//
// One splitter per connection: a reconnect starts with a fresh one.
class LineSplitter {
public:
    // The longest unfinished line kept. Text that runs on without a line
    // break is handed on in pieces of this many characters, so a node that
    // never ends its line cannot grow memory without end.
    static constexpr qsizetype maxUnfinished = 64 * 1024;

    // Takes the next chunk of data bytes, returns the lines it completed.
    QStringList append(QByteArrayView bytes);

    // The text received after the last line break (typically a login prompt).
    const QString& unfinished() const { return m_buffer; }

private:
    // The first bytes of a character whose last bytes have not come yet.
    // Kept as bytes rather than in a stateful decoder: Qt's decoder drops the
    // byte that follows a cut sequence which turns out invalid (a Latin-1
    // "é" at the end of a chunk would swallow the CR or LF after it).
    QByteArray m_cutCharacter;
    QString m_buffer;
};
