#include "rotator/SerialPorts.h"

#include <gtest/gtest.h>

TEST(SerialPorts, OffersSerialDevicesAndTheirStableAliasesSorted)
{
    for (const char* yes : { "ttyUSB0", "ttyUSB12", "ttyACM0", "ttyS0", "ttyAMA0", "ttyXRUSB3", "rfcomm0" })
        EXPECT_TRUE(SerialPorts::isCandidate(QString::fromLatin1(yes))) << yes;
    // Virtual consoles, terminals, the kernel's printk device, old-style
    // pseudo-terminals and names that only look similar.
    for (const char* no : { "tty", "tty0", "tty63", "ttyprintk", "ttyp0", "ttye9", "ttyUSB", "ttyUSB0a", "pts", "ptmx",
                            "console", "rfcomm", "cu.usbserial-1", "ttyUSB-1", "" })
        EXPECT_FALSE(SerialPorts::isCandidate(QString::fromLatin1(no))) << no;

    const SerialPortDescription ftdi { "FT232R USB UART", "FTDI", "A6008isP" };
    const QString byId = "usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0";
    const SerialPorts::Listing listing = SerialPorts::collect(
        {
            { "ttyUSB10", {} },
            { "ttyUSB2", ftdi },
            { "tty3", {} },
            { "ttyACM0", { "Arduino Uno", std::nullopt, std::nullopt } },
            { "ttyUSB2", ftdi }, // listed twice by the system
        },
        {
            { byId, "/dev/ttyUSB2" },
            { "usb-Dangling-if00", "/dev/tty3" },     // points at no serial port
            { "../escape", "/dev/ttyUSB2" },          // not a plain entry name
            { "usb-Elsewhere-if00", "/tmp/ttyUSB9" }, // not a device
        });

    // By character codes, as the picker lists them: the stable names sort
    // before the devices, and ttyUSB10 before ttyUSB2.
    EXPECT_EQ(listing.paths,
              QStringList({ "/dev/serial/by-id/" + byId, "/dev/ttyACM0", "/dev/ttyUSB10", "/dev/ttyUSB2" }));
    EXPECT_EQ(listing.descriptions.value("/dev/ttyUSB2"), ftdi);
    EXPECT_EQ(listing.descriptions.value("/dev/serial/by-id/" + byId), ftdi); // described like its device
    EXPECT_EQ(listing.descriptions.value("/dev/ttyUSB10"), SerialPortDescription {});
    EXPECT_FALSE(listing.descriptions.contains("/dev/tty3"));
    EXPECT_EQ(ftdi.label("/dev/serial/by-id/" + byId),
              "serial/by-id/" + byId + QString::fromUtf8(" \u2013 FT232R USB UART, FTDI (A6008isP)"));

    // A system with no serial port at all.
    EXPECT_TRUE(SerialPorts::collect({}, {}).paths.isEmpty());
}

TEST(SerialPortDescription, LabelNamesProductVendorAndSerialOnce)
{
    const QString dash = QString::fromUtf8(" \u2013 ");
    const QString port = "/dev/ttyUSB0";
    EXPECT_EQ((SerialPortDescription { "P", "V", "S" }.label(port)), "ttyUSB0" + dash + "P, V (S)");
    // A vendor already named in the product, whatever the case, is not
    // repeated; a product inside a longer vendor name is kept.
    EXPECT_EQ((SerialPortDescription { "FTDI FT232R", "ftdi", std::nullopt }.label(port)),
              "ttyUSB0" + dash + "FTDI FT232R");
    EXPECT_EQ((SerialPortDescription { "CP2102", "Silicon Labs CP2102 Inc", std::nullopt }.label(port)),
              "ttyUSB0" + dash + "CP2102, Silicon Labs CP2102 Inc");
    // The serial number alone goes without parentheses.
    EXPECT_EQ((SerialPortDescription { std::nullopt, "", "S1" }.label(port)), "ttyUSB0" + dash + "S1");
    // Nothing said, or only empty texts: the short name alone.
    EXPECT_EQ(SerialPortDescription {}.label(port), "ttyUSB0");
    EXPECT_EQ((SerialPortDescription { "", "", "" }.label(port)), "ttyUSB0");
    EXPECT_EQ((SerialPortDescription { "", "V", std::nullopt }.label("/dev/ttyS0")), "ttyS0" + dash + "V");
}
