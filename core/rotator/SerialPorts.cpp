#include "rotator/SerialPorts.h"

#include "rotator/SerialLink.h"

#include <QFileInfo>

#include <algorithm>

namespace {

bool isAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// A non-empty run of digits and nothing else.
bool isNumber(QStringView text) { return !text.isEmpty() && std::all_of(text.begin(), text.end(), isAsciiDigit); }

bool said(const std::optional<QString>& text) { return text && !text->isEmpty(); }

} // namespace

QString SerialPortDescription::label(const QString& path) const
{
    const QString name = SerialLink::shortName(path);

    QStringList kept;
    for (const std::optional<QString>& candidate : { product, vendor }) {
        if (!said(candidate))
            continue;
        const bool repeated = std::any_of(kept.cbegin(), kept.cend(), [&](const QString& earlier) {
            return earlier.contains(*candidate, Qt::CaseInsensitive);
        });
        if (!repeated)
            kept.append(*candidate);
    }
    QString text = kept.join(QStringLiteral(", "));
    if (said(serial))
        text = text.isEmpty() ? *serial : text + QStringLiteral(" (") + *serial + u')';
    return text.isEmpty() ? name : name + QStringLiteral(" \u2013 ") + text;
}

namespace SerialPorts {

bool isCandidate(QStringView name)
{
    if (name.startsWith(u"rfcomm"))
        return isNumber(name.mid(6));
    if (!name.startsWith(u"tty"))
        return false;
    // "tty", letters, a number: ttyUSB0, ttyACM1, ttyS0, ttyAMA0, ttyXRUSB0.
    // "tty" and a number alone is a virtual console.
    const QStringView rest = name.mid(3);
    qsizetype letters = 0;
    while (letters < rest.size() && isAsciiLetter(rest[letters]))
        ++letters;
    if (letters == 0 || !isNumber(rest.mid(letters)))
        return false;
    // The old BSD-style pseudo-terminals: ttyp0 ... ttyef.
    const bool oldPty
        = rest.size() == 2 && ((rest[0] >= u'p' && rest[0] <= u'z') || (rest[0] >= u'a' && rest[0] <= u'e'));
    return !oldPty;
}

Listing collect(const QList<Device>& devices, const QList<Alias>& aliases)
{
    Listing listing;
    for (const Device& device : devices) {
        if (!isCandidate(device.name))
            continue;
        const QString path = QStringLiteral("/dev/") + device.name;
        listing.paths.append(path);
        listing.descriptions.insert(path, device.description);
    }
    for (const Alias& alias : aliases) {
        if (alias.name.isEmpty() || alias.name.contains(u'/'))
            continue;
        const QFileInfo target(alias.target);
        if (!alias.target.startsWith(QStringLiteral("/dev/")) || !isCandidate(target.fileName()))
            continue;
        const QString path = byIdFolder.toString() + u'/' + alias.name;
        listing.paths.append(path);
        listing.descriptions.insert(path, listing.descriptions.value(alias.target));
    }
    listing.paths.sort(Qt::CaseSensitive);
    listing.paths.removeDuplicates();
    return listing;
}

} // namespace SerialPorts
