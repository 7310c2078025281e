#include "rotator/RotatorProtocol.h"

#include "support/RawValue.h"
#include "support/StrictNumber.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr char stx = '\x02';

QString digitsOf(QStringView text)
{
    QString digits;
    for (const QChar c : text)
        if (c.isDigit())
            digits.append(c);
    return digits;
}

// Controllers answer "AZ=123" (GS-232B) or "+0123" (GS-232A); some add an
// elevation after it, which the first match leaves out.
std::optional<double> parseGs232(QStringView line)
{
    // Unicode properties so that \d and \s mean what they mean in ICU.
    static const QRegularExpression azimuth(QStringLiteral("AZ=\\s*(\\d{1,3})"),
                                                           QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression plus(QStringLiteral("\\+0?(\\d{3,4})"),
                                                        QRegularExpression::UseUnicodePropertiesOption);

    if (const auto m = azimuth.match(line); m.hasMatch())
        return StrictNumber::parseDouble(digitsOf(m.capturedView(0)));

    if (const auto m = plus.match(line); m.hasMatch()) {
        QString digits = digitsOf(m.capturedView(0).mid(1));
        if (digits.size() == 4)
            digits.remove(0, 1);
        return StrictNumber::parseDouble(digits);
    }
    return std::nullopt;
}

// "A,?,123" possibly with a trailing status piece: "A,?,123,R".
std::optional<double> parseProsistel(QStringView line)
{
    const auto pieces = line.split(u',', Qt::SkipEmptyParts);
    if (pieces.size() < 3 || pieces[0] != u"A" || pieces[1] != u"?")
        return std::nullopt;
    return StrictNumber::parseDouble(pieces[2]);
}

// The daemon answers "p" with the azimuth alone on a line ("182.500000");
// "RPRT n" is its status reply, never a reading.
std::optional<double> parseRotctld(QStringView line)
{
    if (line.startsWith(u"RPRT"))
        return std::nullopt;
    return StrictNumber::parseDouble(line);
}

} // namespace

namespace RotatorProtocols {

std::optional<RotatorProtocol> fromRaw(QStringView raw) { return findRaw(allCases, raw); }

} // namespace RotatorProtocols

QString rawValue(RotatorProtocol proto)
{
    switch (proto) {
    case RotatorProtocol::gs232a:
        return QStringLiteral("gs232a");
    case RotatorProtocol::gs232b:
        return QStringLiteral("gs232b");
    case RotatorProtocol::prosistel:
        return QStringLiteral("prosistel");
    case RotatorProtocol::rotctld:
        return QStringLiteral("rotctld");
    }
    return {};
}

QString title(RotatorProtocol proto)
{
    switch (proto) {
    case RotatorProtocol::gs232a:
        return QStringLiteral("Yaesu GS-232A");
    case RotatorProtocol::gs232b:
        return QStringLiteral("Yaesu GS-232B");
    case RotatorProtocol::prosistel:
        return QStringLiteral("Prosistel");
    case RotatorProtocol::rotctld:
        return QStringLiteral("Hamlib rotctld (network)");
    }
    return {};
}

bool usesNetwork(RotatorProtocol proto) { return proto == RotatorProtocol::rotctld; }

quint8 terminator(RotatorProtocol proto) { return proto == RotatorProtocol::rotctld ? 10 : 13; }

bool isGS232(RotatorProtocol proto) { return proto == RotatorProtocol::gs232a || proto == RotatorProtocol::gs232b; }

bool supportsSpeed(RotatorProtocol proto) { return isGS232(proto); }

QByteArray positionQuery(RotatorProtocol proto)
{
    switch (proto) {
    case RotatorProtocol::gs232a:
    case RotatorProtocol::gs232b:
        return QByteArrayLiteral("C\r");
    case RotatorProtocol::prosistel:
        return QByteArrayLiteral("\x02"
                                 "A?\r");
    case RotatorProtocol::rotctld:
        return QByteArrayLiteral("p\n");
    }
    return {};
}

QByteArray moveCommand(RotatorProtocol proto, int azimuth)
{
    const QByteArray n = QByteArray::number(azimuth);
    switch (proto) {
    case RotatorProtocol::gs232a:
    case RotatorProtocol::gs232b: {
        // "%03d": zeros go after the sign, so -5 becomes "-05".
        QByteArray padded = QByteArray::number(qAbs(qint64(azimuth))).rightJustified(azimuth < 0 ? 2 : 3, '0');
        if (azimuth < 0)
            padded.prepend('-');
        return "M" + padded + "\r";
    }
    case RotatorProtocol::prosistel:
        return QByteArray(1, stx) + "AG" + n + "\r";
    // rotctld takes azimuth and elevation; these rotators have no elevation.
    case RotatorProtocol::rotctld:
        return "P " + n + " 0\n";
    }
    return {};
}

QByteArray stopCommand(RotatorProtocol proto)
{
    switch (proto) {
    case RotatorProtocol::gs232a:
    case RotatorProtocol::gs232b:
        return QByteArrayLiteral("S\r");
    // Prosistel controllers stop on a move to the reserved azimuth 997.
    case RotatorProtocol::prosistel:
        return QByteArrayLiteral("\x02"
                                 "AG997\r");
    case RotatorProtocol::rotctld:
        return QByteArrayLiteral("S\n");
    }
    return {};
}

std::optional<QByteArray> speedCommand(RotatorProtocol proto, int level)
{
    if (!isGS232(proto))
        return std::nullopt;
    const int clamped = std::clamp(level, 1, 4);
    return "X" + QByteArray::number(clamped) + "\r";
}

std::optional<double> parsePosition(RotatorProtocol proto, QStringView line)
{
    QString cleaned = line.toString();
    cleaned.remove(QChar(stx));
    const QStringView text = QStringView(cleaned).trimmed();
    switch (proto) {
    case RotatorProtocol::gs232a:
    case RotatorProtocol::gs232b:
        return parseGs232(text);
    case RotatorProtocol::prosistel:
        return parseProsistel(text);
    case RotatorProtocol::rotctld:
        return parseRotctld(text);
    }
    return std::nullopt;
}

std::optional<double> parseUnterminated(RotatorProtocol proto, QStringView text)
{
    if (!isGS232(proto))
        return std::nullopt;
    // Only complete answers count: "AZ=12" may still be waiting for its last
    // digit, so three digits (or a sign and four) are required here.
    static const QRegularExpression answer(QStringLiteral("AZ=\\s*\\d{3}|\\+\\d{4}"),
                                                          QRegularExpression::UseUnicodePropertiesOption);
    QStringView last;
    auto it = answer.globalMatch(text);
    while (it.hasNext())
        last = it.next().capturedView(0);
    if (last.isNull())
        return std::nullopt;
    return parsePosition(proto, last);
}
