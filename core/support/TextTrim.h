#pragma once

#include <QStringView>

// Files such as cty.dat and ADIF pad their fields with blanks and tabs only;
// any other character, line breaks included, belongs to the value.
inline QStringView trimSpacesAndTabs(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t'))
        ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.sliced(begin, end - begin);
}

// What a user typed, without the blanks around it: spaces, tabs and the
// other Unicode space separators (no-break space, em space, …). Line breaks
// stay.
inline QStringView trimBlanks(QStringView text)
{
    const auto blank = [](QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}
