#include "rotator/SerialPortListing.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

// Qt gives an empty text for a property the device lacks.
std::optional<QString> reported(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

QList<SerialPorts::Device> devices()
{
    QList<SerialPorts::Device> found;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& port : ports) {
        found.append({ port.portName(),
                       SerialPortDescription { reported(port.description()), reported(port.manufacturer()),
                                               reported(port.serialNumber()) } });
    }
    return found;
}

QList<SerialPorts::Alias> aliases()
{
    QList<SerialPorts::Alias> found;
    const QDir folder(SerialPorts::byIdFolder.toString());
    const QFileInfoList entries = folder.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QString target = entry.canonicalFilePath();
        if (!target.isEmpty())
            found.append({ entry.fileName(), target });
    }
    return found;
}

} // namespace

namespace SerialPortListing {

SerialPorts::Listing read() { return SerialPorts::collect(devices(), aliases()); }

} // namespace SerialPortListing
