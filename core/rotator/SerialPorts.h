#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// What the USB device behind a serial port says about itself. Absent and
// empty texts both count as "nothing said" in the label.
struct SerialPortDescription {
    std::optional<QString> product;
    std::optional<QString> vendor;
    std::optional<QString> serial;

    // The port as the picker shows it: the name without "/dev/", then
    // " – " and the product and vendor (a vendor already named inside the
    // product is not repeated) with the serial number in parentheses, or
    // the serial number alone. Nothing said: the name alone.
    QString label(const QString& path) const;

    friend bool operator==(const SerialPortDescription&, const SerialPortDescription&) = default;
};

// The serial ports a rotator controller may sit on, from what the system
// lists: the devices themselves ("/dev/ttyUSB0") and the stable names udev
// gives USB adapters under "/dev/serial/by-id/", which survive re-plugging
// when the ttyUSB number does not.
namespace SerialPorts {

// One serial device as the system lists it: its name under /dev
// ("ttyUSB0") and what its USB device says.
struct Device {
    QString name;
    SerialPortDescription description;
};

// One entry of /dev/serial/by-id: its name and the device path it points to.
struct Alias {
    QString name;
    QString target;
};

struct Listing {
    QStringList paths;                                  // sorted by character codes
    QHash<QString, SerialPortDescription> descriptions; // by path, aliases included
};

inline constexpr QStringView byIdFolder = u"/dev/serial/by-id";

// Whether a device name under /dev is a serial port that can reach a
// controller: USB adapters (ttyUSB, ttyACM), on-board and add-in UARTs
// (ttyS, ttyAMA and the like), Bluetooth serial links (rfcomm). Virtual
// consoles, pseudo-terminals and the kernel's printk device are not.
bool isCandidate(QStringView name);

// The ports to offer: the candidate devices and the aliases that point at
// a candidate, as full paths, sorted and without repeats, each alias
// described like its device.
Listing collect(const QList<Device>& devices, const QList<Alias>& aliases);

} // namespace SerialPorts
