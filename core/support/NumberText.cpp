#include "support/NumberText.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace NumberText {

QString fixed(double value, int decimals, int width)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? QStringLiteral("nan") : value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    // std::to_chars writes what printf writes in the C locale: the shortest
    // of that is 309 digits and the decimals.
    std::array<char, 400> buffer {};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, std::clamp(decimals, 0, 60));
    if (error != std::errc())
        return {};
    QString text = QString::fromLatin1(buffer.data(), end - buffer.data());
    if (text.size() < width)
        text.insert(text.startsWith(QLatin1Char('-')) ? 1 : 0, QString(width - text.size(), QLatin1Char('0')));
    return text;
}

QString printf(const char* format, double value)
{
    static const QRegularExpression spec(QStringLiteral("%(?:%|(0?)(\\d*)\\.(\\d+)f)"));
    const QString text = QString::fromUtf8(format);
    QString out;
    qsizetype at = 0;
    for (QRegularExpressionMatchIterator it = spec.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += text.mid(at, match.capturedStart() - at);
        if (match.captured(0) == QLatin1String("%%"))
            out += QLatin1Char('%');
        else
            out += fixed(value, match.captured(3).toInt(), match.captured(1).isEmpty() ? 0 : match.captured(2).toInt());
        at = match.capturedEnd();
    }
    return out + text.mid(at);
}

} // namespace NumberText
