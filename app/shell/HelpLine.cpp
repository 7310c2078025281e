#include "shell/HelpLine.h"

#include "support/TextTrim.h"

#include <QRegularExpression>

namespace {

// The position of the dot that ends a numbered item's mark, or -1: the line
// holds a "." and everything before the first one is number characters
// (decimal digits of any script and other numerals), at least one.
qsizetype numberedDot(const QString& line)
{
    const qsizetype dot = line.indexOf(u'.');
    if (dot <= 0)
        return -1;
    for (const char32_t c : QStringView(line).first(dot).toUcs4())
        if (!QChar::isNumber(c))
            return -1;
    return dot;
}

} // namespace

HelpLine::Kind HelpLine::kind() const
{
    if (line.startsWith(u"# "))
        return Kind::title;
    if (line.startsWith(u"## "))
        return Kind::heading;
    if (line.startsWith(u"- "))
        return Kind::bullet;
    if (numberedDot(line) > 0)
        return Kind::numbered;
    if (trimBlanks(line).isEmpty())
        return Kind::blank;
    return Kind::paragraph;
}

QString HelpLine::mark() const
{
    switch (kind()) {
    case Kind::bullet:
        return QStringLiteral("•");
    case Kind::numbered:
        return line.left(numberedDot(line) + 1);
    default:
        return {};
    }
}

QString HelpLine::content() const
{
    switch (kind()) {
    case Kind::title:
    case Kind::bullet:
        return line.mid(2);
    case Kind::heading:
        return line.mid(3);
    case Kind::numbered:
        return trimBlanks(QStringView(line).sliced(numberedDot(line) + 1)).toString();
    case Kind::blank:
        return {};
    case Kind::paragraph:
        break;
    }
    return line;
}

QList<HelpLine> HelpLine::split(const QString& text)
{
    QList<HelpLine> lines;
    for (const QString& line : text.split(u'\n'))
        lines.append(HelpLine { line });
    return lines;
}

// ------------------------------------------------------------- inline text

namespace InlineMarkdown {

namespace {

struct Style {
    bool strong = false;
    bool emphasis = false;
    bool strikethrough = false;
    QString link;
};

bool isAsciiPunctuation(QChar c) { return c.unicode() < 128 && (c.isPunct() || c.isSymbol()); }

class Parser {
public:
    explicit Parser(QStringView text)
        : m_text(text)
    {
    }

    QList<Run> run()
    {
        parse(0, m_text.size(), Style {});
        return m_runs;
    }

private:
    QChar at(qsizetype i) const { return i >= 0 && i < m_text.size() ? m_text[i] : QChar(u' '); }
    bool blankAt(qsizetype i) const { return i < 0 || i >= m_text.size() || at(i).isSpace(); }

    qsizetype runLength(qsizetype i, qsizetype end) const
    {
        qsizetype j = i;
        while (j < end && m_text[j] == m_text[i])
            ++j;
        return j - i;
    }

    void append(const QString& text, const Style& style, bool code = false)
    {
        if (text.isEmpty())
            return;
        Run run { text, style.strong, style.emphasis, code, style.strikethrough, style.link };
        if (!m_runs.isEmpty()) {
            Run& last = m_runs.last();
            if (last.strong == run.strong && last.emphasis == run.emphasis && last.code == run.code
                && last.strikethrough == run.strikethrough && last.link == run.link) {
                last.text += text;
                return;
            }
        }
        m_runs.append(run);
    }

    // The end of the code span whose backticks start at i (the index after
    // its closing backticks), or -1 when they never close.
    qsizetype codeSpanEnd(qsizetype i, qsizetype end) const
    {
        const qsizetype n = runLength(i, end);
        qsizetype j = i + n;
        while (j < end) {
            if (m_text[j] == u'`') {
                const qsizetype m = runLength(j, end);
                if (m == n)
                    return j + m;
                j += m;
            } else {
                ++j;
            }
        }
        return -1;
    }

    // Skips what cannot hold a closing mark: an escaped character, a code
    // span. Returns the next index to look at.
    qsizetype skip(qsizetype j, qsizetype end) const
    {
        if (m_text[j] == u'\\' && j + 1 < end && isAsciiPunctuation(m_text[j + 1]))
            return j + 2;
        if (m_text[j] == u'`') {
            const qsizetype close = codeSpanEnd(j, end);
            return close > 0 ? close : j + runLength(j, end);
        }
        return j;
    }

    // A run of `c` at i that can close an emphasis of k marks: it has
    // something other than a blank before it, and "_" does not stand inside
    // a word. Returns where its last k marks start, or -1.
    qsizetype findCloser(QChar c, qsizetype k, qsizetype from, qsizetype end) const
    {
        qsizetype j = from;
        while (j < end) {
            const qsizetype next = skip(j, end);
            if (next != j) {
                j = next;
                continue;
            }
            if (m_text[j] != c) {
                ++j;
                continue;
            }
            const qsizetype m = runLength(j, end);
            const bool closes = j > from && !blankAt(j - 1) && (c != u'_' || !at(j + m).isLetterOrNumber());
            if (closes && (m == k || (m >= 3 && m >= k)))
                return j + m - k;
            j += m;
        }
        return -1;
    }

    // "[text](target)" at i: the index after it, with the text's range and
    // the target; -1 when the brackets do not make a link.
    qsizetype link(qsizetype i, qsizetype end, qsizetype& textEnd, QString& target) const
    {
        int depth = 0;
        qsizetype j = i + 1;
        for (; j < end; ++j) {
            const qsizetype next = skip(j, end);
            if (next != j) {
                j = next - 1;
                continue;
            }
            if (m_text[j] == u'[')
                ++depth;
            else if (m_text[j] == u']' && depth-- == 0)
                break;
        }
        if (j >= end || at(j + 1) != u'(' || j + 1 >= end)
            return -1;
        textEnd = j;
        qsizetype k = j + 2;
        int parens = 0;
        for (; k < end; ++k) {
            const QChar c = m_text[k];
            if (c.isSpace())
                return -1;
            if (c == u'\\' && k + 1 < end) {
                ++k;
                continue;
            }
            if (c == u'(')
                ++parens;
            else if (c == u')' && parens-- == 0)
                break;
        }
        if (k >= end)
            return -1;
        target = m_text.sliced(j + 2, k - j - 2).toString();
        if (target.startsWith(u'<') && target.endsWith(u'>') && target.size() >= 2)
            target = target.mid(1, target.size() - 2);
        return k + 1;
    }

    // A run of n marks at i that opens an emphasis, strong emphasis (both
    // for three marks) or a strikethrough ("~~") and finds its closing run:
    // the inner text is parsed in the added style and the index after the
    // closing marks returned. -1 when the marks stay plain characters.
    template <typename Flush>
    qsizetype emphasis(qsizetype i, qsizetype n, qsizetype end, const Style& style, Flush& flush)
    {
        const QChar c = m_text[i];
        const bool opens = i + n < end && !blankAt(i + n) && (c != u'_' || !at(i - 1).isLetterOrNumber());
        if (!opens)
            return -1;
        const qsizetype widest = c == u'~' ? (n == 2 ? 2 : 0) : std::min<qsizetype>(n, 3);
        const qsizetype narrowest = c == u'~' ? widest : 1;
        for (qsizetype k = widest; k >= narrowest && k > 0; --k) {
            const qsizetype open = i + n - k; // the last k marks open
            const qsizetype close = findCloser(c, k, open + k, end);
            if (close < 0)
                continue;
            flush(open);
            Style inner = style;
            if (c == u'~') {
                inner.strikethrough = true;
            } else {
                inner.strong = inner.strong || k >= 2;
                inner.emphasis = inner.emphasis || k != 2;
            }
            parse(open + k, close, inner);
            return close + k;
        }
        return -1;
    }

    void parse(qsizetype begin, qsizetype end, const Style& style)
    {
        static const QRegularExpression autolink(QStringLiteral("^<([A-Za-z][A-Za-z0-9+.-]{1,31}:[^\\s<>]*)>"));
        qsizetype literalStart = begin;
        auto flush
            = [&](qsizetype upTo) { append(m_text.sliced(literalStart, upTo - literalStart).toString(), style); };

        qsizetype i = begin;
        while (i < end) {
            const QChar c = m_text[i];
            if (c == u'\\' && i + 1 < end && isAsciiPunctuation(m_text[i + 1])) {
                flush(i);
                literalStart = i + 1; // the escaped character is plain text
                i += 2;
                continue;
            }
            if (c == u'`') {
                const qsizetype n = runLength(i, end);
                const qsizetype close = codeSpanEnd(i, end);
                if (close < 0) {
                    i += n;
                    continue;
                }
                flush(i);
                QString code = m_text.sliced(i + n, close - n - i - n).toString();
                if (code.size() >= 2 && code.front() == u' ' && code.back() == u' ' && !code.trimmed().isEmpty())
                    code = code.mid(1, code.size() - 2);
                append(code, style, true);
                i = close;
                literalStart = i;
                continue;
            }
            if (c == u'<') {
                const QRegularExpressionMatch match = autolink.match(m_text.sliced(i, end - i).toString());
                if (match.hasMatch()) {
                    flush(i);
                    Style linked = style;
                    linked.link = match.captured(1);
                    append(linked.link, linked);
                    i += match.capturedLength(0);
                    literalStart = i;
                    continue;
                }
            }
            if (c == u'[' && style.link.isEmpty()) {
                qsizetype textEnd = 0;
                QString target;
                const qsizetype after = link(i, end, textEnd, target);
                if (after > 0) {
                    flush(i);
                    Style linked = style;
                    linked.link = target;
                    parse(i + 1, textEnd, linked);
                    i = after;
                    literalStart = i;
                    continue;
                }
            }
            if (c == u'*' || c == u'_' || c == u'~') {
                const qsizetype n = runLength(i, end);
                if (const qsizetype after = emphasis(i, n, end, style, flush); after > 0) {
                    i = after;
                    literalStart = i;
                } else {
                    i += n;
                }
                continue;
            }
            ++i;
        }
        flush(end);
    }

    QStringView m_text;
    QList<Run> m_runs;
};

} // namespace

QList<Run> parse(QStringView text) { return Parser(text).run(); }

} // namespace InlineMarkdown
