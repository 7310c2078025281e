#include "cluster/DXSpotParser.h"

#include "support/StrictNumber.h"

#include <QDate>
#include <QTime>
#include <QVarLengthArray>

namespace DXSpotParser {

namespace {

using Tokens = QVarLengthArray<QStringView, 24>;

// White space separates tokens, and so do control characters: nodes put BEL
// (and the odd stray control) right after the last word of a line, which
// would otherwise hide a time token or a spotter field.
bool isSeparator(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u <= 0x20 || u == 0x7F; // blank, and every control (tab, CR, LF, BEL...)
    return c.isSpace() || c.category() == QChar::Other_Control;
}

Tokens tokenize(QStringView text)
{
    Tokens tokens;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && isSeparator(text[i]))
            ++i;
        const qsizetype start = i;
        while (i < n && !isSeparator(text[i]))
            ++i;
        if (i > start)
            tokens.append(text.sliced(start, i - start));
    }
    return tokens;
}

bool isCallTrimCharacter(QChar c)
{
    switch (c.unicode()) {
    case u' ':
    case u'\t':
    case u':':
    case u'<':
    case u'>':
    case u'-':
    case u'*':
        return true;
    default:
        return false;
    }
}

QString trimmedCall(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isCallTrimCharacter(text[begin]))
        ++begin;
    while (end > begin && isCallTrimCharacter(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toString().toUpper();
}

QStringView trimmedBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto isBlank = [](QChar c) {
        const char16_t u = c.unicode();
        if (u < 0x80)
            return u < 0x20 || u == u' ' || u == 0x7F;
        return c.category() == QChar::Other_Control;
    };
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

struct FrequencyAndCall {
    double kHz = 0;
    QString call;
};

// The two tokens both kinds of spot line begin with: a kHz frequency, a
// finite decimal number of at least 1000 (a spot written in MHz, "7.074", is
// refused rather than misplaced) whose whole kHz a spot's id can write, then
// a plausible call.
std::optional<FrequencyAndCall> frequencyAndCall(const Tokens& tokens)
{
    const std::optional<double> kHz = StrictNumber::parseDouble(tokens[0]);
    if (!kHz || !(*kHz >= 1000.0) || !DXSpot::wholeKHz(*kHz))
        return std::nullopt;
    QString call = trimmedCall(tokens[1]);
    if (!isPlausibleCall(call))
        return std::nullopt;
    return FrequencyAndCall { *kHz, std::move(call) };
}

// "1230Z": five characters, the first four numeric, the last an upper-case Z.
bool isTimeToken(QStringView token)
{
    if (token.size() != 5 || token[4] != u'Z')
        return false;
    for (qsizetype i = 0; i < 4; ++i)
        if (!token[i].isNumber())
            return false;
    return true;
}

QString joined(const Tokens& tokens, qsizetype from, qsizetype to)
{
    QString text;
    qsizetype length = 0;
    for (qsizetype i = from; i < to; ++i)
        length += tokens[i].size() + 1;
    text.reserve(length);
    for (qsizetype i = from; i < to; ++i) {
        if (i > from)
            text += u' ';
        text += tokens[i];
    }
    return text;
}

int asciiNumber(QStringView digits)
{
    int value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// The history listing's day and time, "5-Dec-2026" and "1230", in UTC, with
// English month abbreviations whatever the user's language.
std::optional<QDateTime> readDayTime(QStringView day, QStringView hhmm)
{
    const qsizetype firstDash = day.indexOf(u'-');
    if (firstDash < 1 || firstDash > 2 || day.size() != firstDash + 9 || day[firstDash + 4] != u'-')
        return std::nullopt;
    const int dayOfMonth = asciiNumber(day.first(firstDash));
    const QStringView monthName = day.sliced(firstDash + 1, 3);
    const int year = asciiNumber(day.sliced(firstDash + 5, 4));
    static constexpr const char16_t* months[]
        = { u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec" };
    int month = 0;
    for (int m = 0; m < 12; ++m)
        if (monthName.compare(QStringView(months[m]), Qt::CaseInsensitive) == 0)
            month = m + 1;
    if (hhmm.size() != 4)
        return std::nullopt;
    const int hour = asciiNumber(hhmm.first(2));
    const int minute = asciiNumber(hhmm.sliced(2));
    if (month == 0 || dayOfMonth < 0 || year < 0 || hour < 0 || minute < 0)
        return std::nullopt;
    const QDate date(year, month, dayOfMonth);
    const QTime time(hour, minute);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

bool isPlausibleCall(QStringView call)
{
    if (call.size() < 3 || call.size() > 15)
        return false;
    bool letter = false;
    bool digit = false;
    for (QChar c : call) {
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
            letter = true;
        else if (c != u'/')
            return false;
    }
    return letter && digit;
}

std::optional<DXSpot> liveSpot(QStringView line, const QDateTime& received)
{
    const QStringView trimmed = trimmedBlanks(line);
    if (!trimmed.startsWith(u"DX DE ", Qt::CaseInsensitive))
        return std::nullopt;
    const QStringView rest = trimmed.sliced(6);
    const qsizetype colon = rest.indexOf(u':');
    if (colon < 0)
        return std::nullopt;
    const Tokens tokens = tokenize(rest.sliced(colon + 1));
    if (tokens.size() < 3)
        return std::nullopt;
    std::optional<FrequencyAndCall> head = frequencyAndCall(tokens);
    if (!head)
        return std::nullopt;

    qsizetype commentEnd = tokens.size();
    for (qsizetype i = tokens.size() - 1; i >= 0; --i) {
        if (isTimeToken(tokens[i])) {
            commentEnd = i;
            break;
        }
    }
    QString comment = commentEnd > 2 ? joined(tokens, 2, commentEnd) : QString();
    QString spotter = trimmedCall(trimmedBlanks(rest.first(colon)));
    return DXSpot(head->kHz, std::move(head->call), std::move(spotter), std::move(comment), received);
}

std::optional<DXSpot> historySpot(QStringView line)
{
    const Tokens tokens = tokenize(line);
    if (tokens.size() < 5)
        return std::nullopt;
    std::optional<FrequencyAndCall> head = frequencyAndCall(tokens);
    if (!head)
        return std::nullopt;
    if (!isTimeToken(tokens[3]))
        return std::nullopt;
    const std::optional<QDateTime> time = readDayTime(tokens[2], tokens[3].first(4));
    if (!time)
        return std::nullopt;

    qsizetype commentEnd = tokens.size();
    QString spotter;
    const QStringView last = tokens.back();
    if (commentEnd > 4 && last.size() >= 2 && last.startsWith(u'<') && last.endsWith(u'>')) {
        spotter = trimmedCall(last.sliced(1, last.size() - 2));
        --commentEnd;
    }
    return DXSpot(head->kHz, std::move(head->call), std::move(spotter), joined(tokens, 4, commentEnd), *time);
}

std::optional<DXSpot> spot(QStringView line, const QDateTime& received)
{
    if (std::optional<DXSpot> live = liveSpot(line, received))
        return live;
    return historySpot(line);
}

} // namespace DXSpotParser
