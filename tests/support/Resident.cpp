#include "support/Resident.h"

#include <QByteArray>
#include <QFile>

qint64 resident(const char* figure, bool resetPeak)
{
    QFile status("/proc/self/status"), refs("/proc/self/clear_refs");
    if (resetPeak && refs.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        refs.write("5");
    status.open(QIODevice::ReadOnly);
    const QByteArray text = status.readAll();
    return text.mid(text.indexOf(figure) + 6).trimmed().split(' ')[0].toLongLong() * 1024;
}
