#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
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
    QStringDecoder m_decoder { QStringDecoder::Utf8 };
    QString m_buffer;
};
