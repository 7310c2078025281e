#pragma once

#include "rotator/SerialPorts.h"

#include <QHash>
#include <QString>
#include <QStringList>

// The machine's serial ports for the rotator settings, read afresh at each
// call: the devices Qt's serial port module finds, with what their USB
// devices report, and their stable aliases under /dev/serial/by-id. Keeps
// no state; any thread. Failures give fewer ports or fewer descriptions.
namespace SerialPortListing {

// The ports and their descriptions in one reading.
SerialPorts::Listing read();

// The device paths, sorted.
QStringList availablePorts();

// Device path to what its USB device reports, aliases included.
QHash<QString, SerialPortDescription> usbDescriptions();

} // namespace SerialPortListing
