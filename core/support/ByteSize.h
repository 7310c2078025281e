#pragma once

#include <QString>

// A count of bytes as people read it, in binary units and without the
// locale: "900 bytes", "64 KiB", "1 GiB", "12.3 MiB".
namespace ByteSize {

inline QString text(qint64 bytes)
{
    constexpr const char* units[] = { "KiB", "MiB", "GiB", "TiB" };
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" bytes");
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    const bool whole = value == double(qint64(value));
    return QString::number(value, 'f', whole ? 0 : 1) + u' ' + QLatin1String(units[unit]);
}

} // namespace ByteSize
