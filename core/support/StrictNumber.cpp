#include "support/StrictNumber.h"

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace StrictNumber {

namespace {

// Checks the shape by hand so that strtod's extras (hex, "inf", "nan",
// leading blanks) never get a chance.
bool isDecimalShape(QStringView t)
{
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && t[i] >= u'0' && t[i] <= u'9') {
        ++i;
        ++digits;
    }
    if (i < n && t[i] == u'.') {
        ++i;
        while (i < n && t[i] >= u'0' && t[i] <= u'9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            ++i;
        qsizetype expDigits = 0;
        while (i < n && t[i] >= u'0' && t[i] <= u'9') {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    return i == n;
}

} // namespace

std::optional<double> parseDouble(QStringView text)
{
    if (text.isEmpty() || text.size() > 400 || !isDecimalShape(text))
        return std::nullopt;
    const QByteArray bytes = text.toLatin1();
    // strtod follows LC_NUMERIC; use a C-locale copy so a German desktop
    // reads "14.1" the same as everyone else.
    static locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    char* end = nullptr;
    errno = 0;
    const double value = strtod_l(bytes.constData(), &end, cLocale);
    if (end != bytes.constData() + bytes.size())
        return std::nullopt;
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint64> parseInt(QStringView text)
{
    if (text.isEmpty() || text.size() > 40)
        return std::nullopt;
    qsizetype i = 0;
    if (text[0] == u'+' || text[0] == u'-')
        ++i;
    if (i == text.size())
        return std::nullopt;
    for (qsizetype j = i; j < text.size(); ++j)
        if (text[j] < u'0' || text[j] > u'9')
            return std::nullopt;
    bool ok = false;
    const qint64 v = text.toString().toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

} // namespace StrictNumber
