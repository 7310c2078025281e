#include "cluster/LineSplitter.h"

#include "support/TextTrim.h"

namespace {

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

bool isTrimmed(QChar c) { return c == u' ' || c == u'\t' || c.category() == QChar::Other_Control; }

void addLine(QStringList& lines, QStringView line)
{
    line = trimWhere(line, isTrimmed);
    if (!line.isEmpty())
        lines.append(line.toString());
}

// Where a UTF-8 character cut off by the end of `bytes` begins, or the size
// when the bytes end on a character boundary. Only a lead byte followed by
// fewer continuation bytes than it announces counts as cut; anything invalid
// is left for the decoder to replace.
qsizetype cutCharacterStart(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= n; ++back) {
        const auto b = quint8(bytes[n - back]);
        if ((b & 0xC0) == 0x80)
            continue; // a continuation byte: its lead stands further back
        const qsizetype length = (b >= 0xC2 && b <= 0xDF) ? 2
            : (b >= 0xE0 && b <= 0xEF)                    ? 3
            : (b >= 0xF0 && b <= 0xF4)                    ? 4
                                                          : 1;
        return length > back ? n - back : n;
    }
    return n;
}

} // namespace

QStringList LineSplitter::append(QByteArrayView bytes)
{
    // What is kept from before holds no line break: look at the new text only.
    const qsizetype known = m_buffer.size();
    QByteArray data = std::move(m_cutCharacter);
    m_cutCharacter = QByteArray();
    data.append(bytes);
    const qsizetype complete = cutCharacterStart(data);
    m_buffer += QString::fromUtf8(QByteArrayView(data).first(complete));
    m_cutCharacter = data.sliced(complete);

    QStringList lines;
    const qsizetype n = m_buffer.size();
    qsizetype start = 0;
    for (qsizetype i = known; i < n; ++i) {
        const QChar c = m_buffer[i];
        if (!isLineBreak(c))
            continue;
        addLine(lines, QStringView(m_buffer).sliced(start, i - start));
        if (c == u'\r' && i + 1 < n && m_buffer[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    // An overlong unfinished line goes on in pieces, never splitting a
    // surrogate pair.
    while (n - start > maxUnfinished) {
        qsizetype cut = start + maxUnfinished;
        if (m_buffer[cut - 1].isHighSurrogate())
            --cut;
        addLine(lines, QStringView(m_buffer).sliced(start, cut - start));
        start = cut;
    }
    if (start > 0)
        m_buffer.remove(0, start);
    return lines;
}
