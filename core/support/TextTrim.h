#pragma once

#include <QStringView>

// The text without the characters for which `trimmed(c)` holds at either
// end. The readers below each name their own blanks with it.
template <typename Trimmed>
QStringView trimWhere(QStringView text, Trimmed trimmed)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && trimmed(text[begin]))
        ++begin;
    while (end > begin && trimmed(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Files such as cty.dat and ADIF pad their fields with blanks and tabs only;
// any other character, line breaks included, belongs to the value.
inline QStringView trimSpacesAndTabs(QStringView text)
{
    return trimWhere(text, [](QChar c) { return c == u' ' || c == u'\t'; });
}

// What a user typed, without the blanks around it: spaces, tabs and the
// other Unicode space separators (no-break space, em space, …). Line breaks
// stay.
inline QStringView trimBlanks(QStringView text)
{
    return trimWhere(text, [](QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; });
}
