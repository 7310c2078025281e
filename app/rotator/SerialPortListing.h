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

// The ports, sorted, and what their USB devices report, by device path,
// aliases included: one reading.
SerialPorts::Listing read();

} // namespace SerialPortListing
