// The Rotators tab driven through its controls: the stored list it writes,
// the manager that follows it (against the real rotctld), the port picker
// over a listing of its own.
#include "settings/RotatorSettings.h"

#include "kit/AppLog.h"
#include "rotator/RotatorManager.h"
#include "settings/ColorButton.h"
#include "settings/NumberField.h"
#include "settings/SettingsColumns.h"
#include "settings/StatusDot.h"
#include "support/FastRotatorTimings.h"
#include "support/RotctldPeer.h"
#include "support/SettingsCatalogue.h"
#include "support/SettingsTabs.h"
#include "support/WaitUntil.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace SettingsTabs;

namespace {

QList<RotatorConfig> stored() { return RotatorConfig::decode(storedText("rotators")); }

// The sections on screen, in order.
QList<int> shownSections(const RotatorSettings& tab)
{
    QList<int> shown;
    for (const QList<int>& run : tab.columns()->runs())
        shown += run;
    return shown;
}

QStringList rows(const QComboBox* picker)
{
    QStringList texts;
    for (int i = 0; i < picker->count(); ++i)
        texts << picker->itemText(i);
    return texts;
}

// Serial ports as the machine would list them, counting each reading.
struct Ports {
    QList<SerialPorts::Device> devices {
        { "ttyUSB0", { "FT232R USB UART", "FTDI", "A10K3XYZ" } },
        { "ttyUSB1", { "CP2102 USB to UART Bridge Controller", "Silicon Labs", std::nullopt } },
    };
    QList<SerialPorts::Alias> aliases {
        { "usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0", "/dev/ttyUSB0" },
    };
    int listings = 0;
    int descriptionReadings = 0;

    RotatorSettings::PortSource source()
    {
        return {
            [this] {
                ++listings;
                return SerialPorts::collect(devices, aliases).paths;
            },
            [this] {
                ++descriptionReadings;
                return SerialPorts::collect(devices, aliases).descriptions;
            },
        };
    }
};

struct RotatorTab : testing::Test {
    void SetUp() override
    {
        clearSettings();
        AppLog::start();
    }
};

RotatorConfig serial(const QString& name, const QString& port)
{
    RotatorConfig config;
    config.name = name;
    config.port = port;
    return config;
}

QString logText()
{
    AppLog::file().flush();
    QFile file(AppLog::file().path());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST_F(RotatorTab, ARotctldRotatorAddedHereIsRunByTheManager)
{
    RotctldPeer rotctld;
    ASSERT_TRUE(rotctld.isRunning()) << "rotctld (Debian libhamlib-utils) is needed";
    RotatorManager rotors(Settings::standard(), fastRotatorTimings());
    Ports ports;
    RotatorSettings tab(&rotors, ports.source());
    tab.resize(1100, 800);
    tab.show();

    // Empty: the hint and "Add rotator" only; showing it wrote nothing.
    EXPECT_TRUE(tab.emptyHint()->isVisible());
    EXPECT_FALSE(tab.rotatorPicker()->isVisible());
    EXPECT_FALSE(tab.removeButton()->isVisible());
    EXPECT_EQ(shownSections(tab), QList<int> { 0 });
    EXPECT_FALSE(Settings::standard().contains(SettingKeys::rotators));

    tab.addButton()->click();
    ASSERT_EQ(stored().size(), 1);
    RotatorConfig added = stored().first();
    EXPECT_EQ(added.name, "Antenna 1");
    EXPECT_EQ(added.color, "#FFD24AFF");
    EXPECT_EQ(added.proto, RotatorProtocol::gs232b);
    EXPECT_EQ(added.port, "");
    EXPECT_EQ(added.host, "localhost");
    EXPECT_EQ(added.tcpPort, 4533);
    EXPECT_TRUE(added.softStart);
    EXPECT_EQ(tab.selected(), added.id);
    EXPECT_EQ(shownSections(tab), (QList<int> { 0, 1, 2 }));
    EXPECT_EQ(tab.removeButton()->text(), "Remove Antenna 1");
    EXPECT_EQ(tab.portPicker()->currentText(), "Choose…");
    EXPECT_TRUE(tab.softStartBox()->isVisible());
    ASSERT_TRUE(waitUntil([&] { return tab.statusText()->text() == "Choose the serial port above"; }));

    // Over the network: host and port rows instead of the serial ones.
    tab.protocolPicker()->setCurrentIndex(3);
    EXPECT_EQ(tab.protocolPicker()->currentText(), "Hamlib rotctld (network)");
    EXPECT_EQ(stored().first().proto, RotatorProtocol::rotctld);
    EXPECT_TRUE(tab.hostField()->isVisible());
    EXPECT_TRUE(tab.tcpPortField()->isVisible());
    EXPECT_FALSE(tab.portPicker()->isVisible());
    EXPECT_FALSE(tab.speedPicker()->isVisible());
    EXPECT_FALSE(tab.softStartBox()->isVisible());
    EXPECT_FALSE(tab.prosistelText()->isVisible());

    tab.hostField()->selectAll();
    type(tab.hostField(), "127.0.0.1");
    EXPECT_EQ(stored().first().host, "127.0.0.1");
    tab.tcpPortField()->selectAll();
    type(tab.tcpPortField(), QString::number(rotctld.port()));
    press(tab.tcpPortField(), Qt::Key_Return);
    EXPECT_EQ(stored().first().tcpPort, rotctld.port());

    // The manager runs it; the status line follows.
    ASSERT_TRUE(waitUntil([&] { return tab.statusText()->text() == "Connected · heading 000°"; }));
    EXPECT_EQ(tab.statusDot()->color(), StatusDot::green());
    rotors.turn(added.id, 6);
    ASSERT_TRUE(waitUntil([&] { return tab.statusText()->text() != "Connected · heading 000°"; }));
    EXPECT_TRUE(tab.statusText()->text().startsWith("Connected · heading 00"));

    // Renaming shows in the picker and the Remove button as it is typed.
    tab.nameField()->selectAll();
    type(tab.nameField(), "Tower");
    EXPECT_EQ(stored().first().name, "Tower");
    EXPECT_EQ(tab.rotatorPicker()->currentText(), "Tower");
    EXPECT_EQ(tab.removeButton()->text(), "Remove Tower");
    // An ampersand in the name is shown, not taken as the button's shortcut.
    type(tab.nameField(), " & mast");
    EXPECT_EQ(stored().first().name, "Tower & mast");
    EXPECT_EQ(tab.removeButton()->text(), "Remove Tower && mast");

    tab.removeButton()->click();
    EXPECT_EQ(storedText("rotators"), "[]");
    EXPECT_TRUE(tab.emptyHint()->isVisible());
    EXPECT_EQ(tab.selected(), std::nullopt);
    EXPECT_EQ(shownSections(tab), QList<int> { 0 });
    ASSERT_TRUE(waitUntil([&] { return rotors.status().isEmpty(); }));
}

TEST_F(RotatorTab, PortPickerNamesTheDevicesTheClashesAndKeepsAnAbsentPort)
{
    const RotatorConfig first = serial("Antenna 1", "/dev/ttyUSB0");
    const RotatorConfig second = serial("Antenna 2", "/dev/ttyUSB0");
    const RotatorConfig mast = serial("Mast", "/dev/ttyUSB9");
    RotatorConfig::save(Settings::standard(), { first, second, mast });
    Ports ports;
    RotatorSettings tab(nullptr, ports.source());
    tab.show();
    EXPECT_EQ(tab.selected(), first.id);
    EXPECT_EQ(tab.statusText()->text(), "Not connected");
    EXPECT_EQ(tab.statusDot()->color(), StatusDot::orange());

    const QString ftdi = QString::fromUtf8("ttyUSB0 – FT232R USB UART, FTDI (A10K3XYZ)");
    EXPECT_EQ(rows(tab.portPicker()),
              (QStringList {
                  "Choose…",
                  QString::fromUtf8("serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0 – FT232R USB UART, "
                                    "FTDI (A10K3XYZ)"),
                  ftdi + " · used by Antenna 2",
                  QString::fromUtf8("ttyUSB1 – CP2102 USB to UART Bridge Controller, Silicon Labs"),
              }));
    EXPECT_EQ(tab.portPicker()->currentIndex(), 2);
    EXPECT_TRUE(tab.clashWarning()->isVisibleTo(&tab));
    EXPECT_EQ(tab.clashWarning()->text(),
              "Antenna 2 uses the same port. Each rotator needs its own port: choose the other cable here.");

    // The other cable: no clash left.
    tab.portPicker()->setCurrentIndex(3);
    EXPECT_EQ(stored()[0].port, "/dev/ttyUSB1");
    EXPECT_FALSE(tab.clashWarning()->isVisibleTo(&tab));
    EXPECT_EQ(tab.portPicker()->itemText(2), ftdi + " · used by Antenna 2");

    // A port that is not plugged in comes first and stays chosen.
    tab.rotatorPicker()->setCurrentIndex(2);
    EXPECT_EQ(tab.selected(), mast.id);
    EXPECT_EQ(tab.portPicker()->itemText(1), "ttyUSB9");
    EXPECT_EQ(tab.portPicker()->currentIndex(), 1);

    // Listed every 2 s while shown; descriptions read only for a new list.
    ASSERT_EQ(tab.portCheck()->interval(), 2000);
    EXPECT_TRUE(tab.portCheck()->isActive());
    tab.portCheck()->setInterval(5);
    ASSERT_TRUE(waitUntil([&] { return ports.listings >= 4; }));
    EXPECT_EQ(ports.descriptionReadings, 1);
    ports.devices.append({ "ttyUSB9", { "USB-Serial Controller D", "Prolific Technology Inc.", std::nullopt } });
    ASSERT_TRUE(waitUntil([&] { return ports.descriptionReadings == 2; }));
    EXPECT_EQ(rows(tab.portPicker()).mid(3),
              (QStringList { QString::fromUtf8("ttyUSB1 – CP2102 USB to UART Bridge Controller, Silicon Labs")
                                 + " · used by Antenna 1",
                             QString::fromUtf8("ttyUSB9 – USB-Serial Controller D, Prolific Technology Inc.") }));
    EXPECT_EQ(tab.portPicker()->currentIndex(), 4);
    tab.hide();
    EXPECT_FALSE(tab.portCheck()->isActive());
}

TEST_F(RotatorTab, AntennaOptionsAreStoredAsEditedAndNewRotatorsAreNumberedAndColoured)
{
    RotatorSettings tab(nullptr, Ports().source());
    tab.show();
    for (int i = 0; i < 5; ++i)
        tab.addButton()->click();
    QStringList colours;
    for (const RotatorConfig& rotator : stored())
        colours << rotator.color;
    EXPECT_EQ(colours, (QStringList { "#FFD24AFF", "#4FD1E8FF", "#FF7A7AFF", "#9CFF7AFF", "#FFD24AFF" }));
    tab.rotatorPicker()->setCurrentIndex(0);
    tab.removeSelected();
    tab.addButton()->click();
    EXPECT_EQ(stored().last().name, "Antenna 5") << "the list's length plus one; names may repeat";
    const qsizetype open = stored().size() - 1;

    tab.beamSlider()->setValue(18);
    EXPECT_EQ(stored()[open].beamWidth, 90.0);
    EXPECT_EQ(tab.beamText()->text(), "90°");
    tab.rangePicker()->setCurrentIndex(1);
    EXPECT_EQ(stored()[open].range, 450);

    // Typed offsets are stored as typed; the stepper keeps within ±180°.
    tab.offsetField()->selectAll();
    type(tab.offsetField(), "-3.5");
    press(tab.offsetField(), Qt::Key_Return);
    EXPECT_EQ(stored()[open].offset, -3.5);
    tab.offsetUp()->click();
    EXPECT_EQ(stored()[open].offset, -2.5);
    EXPECT_EQ(tab.offsetField()->text(), "-2.5");
    tab.offsetField()->selectAll();
    type(tab.offsetField(), "200");
    press(tab.offsetField(), Qt::Key_Return);
    EXPECT_EQ(stored()[open].offset, 200.0);
    tab.offsetUp()->click();
    EXPECT_EQ(stored()[open].offset, 180.0);

    EXPECT_FALSE(pickColor(tab.colorWell(), QColor(0x12, 0x34, 0x56, 0x78)));
    EXPECT_EQ(stored()[open].color, "#123456FF");
    tab.longPathBox()->click();
    EXPECT_TRUE(stored()[open].showLongPath);
    tab.softStartBox()->click();
    EXPECT_FALSE(stored()[open].softStart);

    tab.protocolPicker()->setCurrentIndex(2);
    EXPECT_EQ(stored()[open].proto, RotatorProtocol::prosistel);
    EXPECT_TRUE(tab.prosistelText()->isVisible());
    EXPECT_FALSE(tab.softStartBox()->isVisible());
    tab.speedPicker()->setCurrentIndex(5);
    EXPECT_EQ(stored()[open].baud, 38400);
    EXPECT_EQ(tab.speedPicker()->currentText(), "38400 baud");

    // The other rotators were left as they were.
    for (qsizetype i = 0; i < open; ++i)
        EXPECT_EQ(stored()[i].beamWidth, 60.0) << i;
}

TEST_F(RotatorTab, AnUnreadableStoredListIsKeptAsideBeforeTheFirstChange)
{
    const QString unreadable = R"([{"name":"Tower","proto":"gs232b"},{"name":7}])";
    Settings::standard().set(SettingKeys::rotators, unreadable);
    {
        RotatorSettings tab(nullptr, Ports().source());
        tab.show();
        EXPECT_TRUE(tab.unreadableNote()->isVisible());
        EXPECT_TRUE(tab.emptyHint()->isVisible());
        EXPECT_EQ(storedText("rotatorsUnreadable"), unreadable);
        EXPECT_EQ(storedText("rotators"), unreadable) << "nothing written by showing the tab";
    }
    EXPECT_EQ(logText().count("Settings: the stored rotator list could not be read; kept as rotatorsUnreadable"), 1);

    RotatorSettings again(nullptr, Ports().source());
    again.show();
    EXPECT_TRUE(again.unreadableNote()->isVisible());
    again.addButton()->click();
    EXPECT_EQ(stored().size(), 1);
    EXPECT_EQ(storedText("rotatorsUnreadable"), unreadable);
    EXPECT_EQ(logText().count("kept as rotatorsUnreadable"), 1) << "copied once";

    // A list that reads, and an empty one, are no cause for a note.
    for (const char* fine : { "[]", "" }) {
        Settings::standard().set(SettingKeys::rotators, fine);
        RotatorSettings tab(nullptr, Ports().source());
        EXPECT_TRUE(tab.unreadableNote()->isHidden()) << fine;
    }
}
