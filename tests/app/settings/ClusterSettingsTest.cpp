// The Cluster tab driven through its controls, over a real cluster client
// talking to a node on 127.0.0.1 and a local country file server.
#include "settings/ClusterSettings.h"

#include "cluster/CtyDat.h"
#include "cluster/DXClusterClient.h"
#include "geo/MapData.h"
#include "kit/AppLog.h"
#include "settings/ColorButton.h"
#include "settings/SettingsColumns.h"
#include "settings/SettingsSection.h"
#include "settings/StatusDot.h"
#include "support/ClusterNodePeer.h"
#include "support/FastClusterTiming.h"
#include "support/HttpPeer.h"
#include "support/SettingsCatalogue.h"
#include "support/SettingsTabs.h"
#include "support/WaitUntil.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace SettingsTabs;
using namespace std::chrono_literals;

namespace {

const QDateTime clock0(QDate(2026, 12, 7), QTime(9, 20), Qt::UTC);

QByteArray realCountryFile()
{
    QFile file("/usr/share/hamradio-files/cty.dat");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An export as a Linux logging program writes it: a free-text preamble,
// header fields, one field per line, confirmations by card and by LoTW.
const char* const loggerExport = R"(ADIF export from CQRLOG for Linux version 2.5.2
Internet: https://www.cqrlog.com

<ADIF_VER:5>3.1.0
<CREATED_TIMESTAMP:15>20261201 183000
<PROGRAMID:6>CQRLOG
<PROGRAMVERSION:5>2.5.2
<EOH>
<QSO_DATE:8>20260314
<TIME_ON:4>1802
<CALL:6>DL1ABC
<MODE:2>CW
<FREQ:6>14.025
<BAND:3>20M
<RST_SENT:3>599
<RST_RCVD:3>599
<QSL_RCVD:1>Y
<EOR>
<QSO_DATE:8>20260402
<TIME_ON:4>2215
<CALL:5>K1ABC
<MODE:3>SSB
<FREQ:5>7.185
<BAND:3>40M
<LOTW_QSL_RCVD:1>Y
<EOR>
<QSO_DATE:8>20260419
<TIME_ON:4>0640
<CALL:6>JA1XYZ
<MODE:3>FT8
<FREQ:6>21.074
<BAND:3>15M
<QSL_RCVD:1>N
<EOR>
<QSO_DATE:8>20260502
<TIME_ON:4>1931
<CALL:5>G4ABC
<MODE:2>CW
<BAND:3>20M
<EOR>
<QSO_DATE:8>20260611
<TIME_ON:4>1010
<CALL:6>DL2XYZ
<MODE:2>CW
<BAND:3>40M
<EOR>
)";

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Chooses a file in the tab's import dialog as the user would.
void importThroughDialog(ClusterSettings& tab, const QString& path)
{
    tab.importButton()->click();
    auto* dialog = tab.findChild<QFileDialog*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept(); // as the Open button does
}

struct ClusterTab : testing::Test {
    QTemporaryDir dir;
    ClusterNodePeer node;
    HttpPeer countryFiles;
    std::unique_ptr<DXClusterClient> client;

    void SetUp() override
    {
        clearSettings();
        AppLog::start();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        ASSERT_TRUE(node.listen());
        ASSERT_TRUE(countryFiles.listen());
        countryFiles.serve("/cty.dat", 404, "");
    }

    void start(const QString& supportFolder = {}, const std::function<void(DXClusterClient::Timing&)>& adjust = {})
    {
        DXClusterClient::Timing timing = fastClusterTiming();
        timing.now = [] { return clock0; };
        timing.countryFileRetry = std::chrono::hours(1);
        timing.countryFileStaleRetry = std::chrono::hours(6);
        if (adjust)
            adjust(timing);
        DXClusterClient::Services services;
        services.supportFolder = supportFolder.isEmpty() ? dir.filePath("Corvanta") : supportFolder;
        services.countryFileURL = countryFiles.base() + "/cty.dat";
        services.labels = MapData::prefixes();
        client = std::make_unique<DXClusterClient>(Settings::standard(), timing, services);
    }
    void cacheCountryFile(const QDateTime& modified = {})
    {
        QDir().mkpath(dir.filePath("Corvanta"));
        writeFile(dir.filePath("Corvanta/cty.dat"), realCountryFile());
        if (modified.isValid()) {
            QFile file(dir.filePath("Corvanta/cty.dat"));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
        }
    }
};

} // namespace

TEST_F(ClusterTab, ConnectsToATypedNodeOnlyOnceTheAddressIsDoneShowsTheNodesLinesAndReconnects)
{
    start();
    ClusterSettings tab(client.get());
    tab.resize(1400, 900);
    tab.show();
    auto* enabled = checkBox(&tab, "Connect to a DX cluster");
    auto* picker = control<QComboBox>(&tab, "Node");
    auto* address = control<QLineEdit>(&tab, "Address");
    auto* commands = control<QLineEdit>(&tab, "Commands after login");
    ASSERT_TRUE(enabled && picker && address && commands);

    // Nothing stored: off, the first preset, no address field, no callsign.
    EXPECT_FALSE(enabled->isChecked());
    EXPECT_EQ(picker->currentText(), "VE7CC-1 (Canada, CC Cluster)  dxc.ve7cc.net:23");
    EXPECT_EQ(picker->itemText(picker->count() - 1), "Other node (enter the address)");
    EXPECT_FALSE(address->isVisible());
    EXPECT_EQ(tab.loginAs()->text(), "No callsign: set it on the Station tab");
    EXPECT_EQ(tab.loginAs()->palette().color(QPalette::WindowText), SettingsText::warning());
    EXPECT_EQ(tab.statusText()->text(), "DX cluster is off");
    EXPECT_EQ(tab.statusDot()->color(), StatusDot::orange());
    EXPECT_FALSE(tab.reconnectButton()->isEnabled());
    EXPECT_EQ(tab.columns()->runs(), (QList<QList<int>> { { 0, 1 }, { 2, 3 }, { 4, 5 } }));

    // The callsign comes from the Station tab; shown upper case, stored as typed.
    Settings::standard().set(SettingKeys::callsign, "ly2abc");
    EXPECT_EQ(tab.loginAs()->text(), "LY2ABC");
    EXPECT_NE(tab.loginAs()->palette().color(QPalette::WindowText), SettingsText::warning());

    // An unknown node: no row, no address field.
    Settings::standard().set(SettingKeys::clusterNode, "gone");
    EXPECT_EQ(picker->currentIndex(), -1);
    EXPECT_FALSE(address->isVisible());

    picker->setCurrentIndex(picker->count() - 1);
    EXPECT_EQ(storedText("clusterNode"), "custom");
    EXPECT_TRUE(address->isVisible());
    enabled->click();
    EXPECT_EQ(storedText("clusterEnabled"), "true");
    EXPECT_TRUE(tab.reconnectButton()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return client->status().detail == ClusterMessage::noAddress(); }));
    EXPECT_EQ(tab.statusText()->text(), "Enter the node's address above");

    // Typing the address stores nothing, so the client never tries a
    // half-typed host; Return stores it and the client connects.
    node.setGreeting("");
    type(address, node.address());
    EXPECT_FALSE(waitUntil([&] { return node.connectionCount() > 0; }, 200));
    EXPECT_FALSE(Settings::standard().contains(SettingKeys::clusterCustomAddress));
    press(address, Qt::Key_Return);
    EXPECT_EQ(storedText("clusterCustomAddress"), node.address());
    ASSERT_TRUE(waitUntil([&] { return tab.statusText()->text() == "Connected to 127.0.0.1"; }));
    EXPECT_EQ(tab.statusDot()->color(), StatusDot::green());
    EXPECT_EQ(node.connectionCount(), 1);

    // The node's newest 25 of the 40 lines the client keeps, as plain text.
    QByteArray lines;
    for (int i = 1; i <= 45; ++i)
        lines += QStringLiteral("line %1 <b>not bold</b>\r\n").arg(i).toLatin1();
    node.send(lines);
    ASSERT_TRUE(waitUntil([&] { return client->recentLines().endsWith("line 45 <b>not bold</b>"); }));
    EXPECT_FALSE(tab.nodeLog()->isVisible());
    tab.nodeLogToggle()->click();
    EXPECT_TRUE(tab.nodeLog()->isVisible());
    const QStringList shown = tab.nodeLog()->toPlainText().split('\n');
    ASSERT_EQ(shown.size(), 25);
    EXPECT_EQ(shown.first(), "line 21 <b>not bold</b>");
    EXPECT_EQ(shown.last(), "line 45 <b>not bold</b>");

    // Reconnect drops the connection and opens a new one to the same node.
    tab.reconnectButton()->click();
    ASSERT_TRUE(waitUntil([&] { return node.connectionCount() == 2; }));
    ASSERT_TRUE(waitUntil([&] { return tab.statusText()->text() == "Connected to 127.0.0.1"; }));

    // Login commands, too, wait for the edit to end; leaving the tab ends it.
    type(commands, "set/skimmer; set/ft8");
    EXPECT_FALSE(Settings::standard().contains(SettingKeys::clusterCommands));
    tab.hide();
    EXPECT_EQ(storedText("clusterCommands"), "set/skimmer; set/ft8");
    ASSERT_TRUE(waitUntil([&] { return node.receivedLines(2).size() == 4; }));
    EXPECT_EQ(node.receivedLines(2), (QStringList { "LY2ABC", "set/skimmer", "set/ft8", "sh/dx 50" }));
    EXPECT_EQ(node.connectionCount(), 3);

    // Back to a preset: the field goes, the typed address stays stored.
    tab.show();
    picker->setCurrentIndex(1);
    EXPECT_EQ(storedText("clusterNode"), "db0sue");
    EXPECT_FALSE(address->isVisible());
    EXPECT_EQ(storedText("clusterCustomAddress"), node.address());
}

TEST_F(ClusterTab, BandsPickersAndSwitchesStoreTheirTexts)
{
    start();
    Settings::standard().set(SettingKeys::clusterBands, "2, 160,99,x");
    Settings::standard().set(SettingKeys::clusterSpotMinutes, 45);
    ClusterSettings tab(client.get());
    tab.show();

    QStringList checked;
    for (const Band band : allBands)
        if (tab.bandBox(rawValue(band))->isChecked())
            checked << title(band);
    EXPECT_EQ(checked, (QStringList { "160 m", "2 m" }));
    tab.bandBox(80)->click();
    EXPECT_EQ(storedText("clusterBands"), "160,80,2");
    QPushButton* all = nullptr;
    QPushButton* hf = nullptr;
    for (QPushButton* button : tab.findChildren<QPushButton*>()) {
        if (button->text() == "All")
            all = button;
        if (button->text() == "HF + 6 m")
            hf = button;
    }
    ASSERT_TRUE(all && hf);
    all->click();
    tab.bandBox(2)->click();
    EXPECT_EQ(storedText("clusterBands"), "160,80,60,40,30,20,17,15,12,10,6,4");
    for (const Band band : allBands)
        if (tab.bandBox(rawValue(band))->isChecked())
            tab.bandBox(rawValue(band))->click();
    EXPECT_EQ(storedText("clusterBands"), "");
    EXPECT_TRUE(Settings::standard().contains(SettingKeys::clusterBands));
    hf->click();
    EXPECT_EQ(storedText("clusterBands"), "160,80,60,40,30,20,17,15,12,10,6");
    EXPECT_FALSE(tab.bandBox(4)->isChecked());

    // A spot time from elsewhere matches no row until one is picked.
    auto* minutes = control<QComboBox>(&tab, "Show a spot for");
    EXPECT_EQ(minutes->currentIndex(), -1);
    minutes->setCurrentIndex(3);
    EXPECT_EQ(storedText("clusterSpotMinutes"), "60");

    auto* modes = control<QComboBox>(&tab, "Modes");
    EXPECT_EQ(modes->currentText(), "All modes");
    modes->setCurrentIndex(4);
    EXPECT_EQ(storedText("clusterModeFilter"), "cwSsb");

    // The watch list is stored at each keystroke; the alert switches at once.
    type(control<QLineEdit>(&tab, "Callsigns"), "3Y0K");
    EXPECT_EQ(storedText("clusterWatchCalls"), "3Y0K");
    auto* notify = checkBox(&tab, "Show a desktop notification");
    ASSERT_NE(notify, nullptr);
    EXPECT_TRUE(notify->isChecked());
    notify->click();
    EXPECT_EQ(storedText("alertNotify"), "false");
    EXPECT_FALSE(
        pickColor(qobject_cast<ColorButton*>(control<QPushButton>(&tab, "Watched colour")), QColor(10, 20, 30, 40)));
    EXPECT_EQ(storedText("clusterWatchColor"), "#0A141EFF");
}

TEST_F(ClusterTab, AnImportedLogbookMakesCountriesNeededAndCanBeRemoved)
{
    cacheCountryFile();
    node.setGreeting("");
    start();
    ASSERT_TRUE(waitUntil([&] { return client->countries().isFullCountryFile(); })); // parsed on the pool
    Settings::standard().set(SettingKeys::callsign, "LY2ABC");
    Settings::standard().set(SettingKeys::clusterEnabled, true);
    Settings::standard().set(SettingKeys::clusterNode, "custom");
    Settings::standard().set(SettingKeys::clusterCustomAddress, node.address());
    ClusterSettings tab(client.get());
    tab.show();
    EXPECT_EQ(tab.summary()->text(), "No log imported");
    EXPECT_FALSE(tab.removeButton()->isVisible());
    EXPECT_EQ(control<QComboBox>(&tab, "Needed means")->currentText(), "New country (not worked on any band)");

    // Needed countries only: nothing counts until a log is in.
    EXPECT_FALSE(tab.neededNote()->isVisible());
    control<QComboBox>(&tab, "Show")->setCurrentIndex(1);
    EXPECT_EQ(storedText("clusterShow"), "needed");
    EXPECT_TRUE(tab.neededNote()->isVisible());

    const QString path = dir.filePath("cqrlog-export.adi");
    writeFile(path, loggerExport);
    importThroughDialog(tab, path);
    EXPECT_EQ(tab.importMessage()->text(), "Read 5 QSOs from cqrlog-export.adi.");
    EXPECT_EQ(tab.summary()->text(), "cqrlog-export.adi: 5 QSOs, 4 countries worked, 2 confirmed");
    EXPECT_TRUE(tab.removeButton()->isVisible());
    EXPECT_FALSE(tab.neededNote()->isVisible());

    // Spots from the node: a worked country and a needed one.
    ASSERT_TRUE(waitUntil([&] { return client->status().kind == ClusterStatus::Kind::connected; }));
    node.send(ClusterNodePeer::liveSpot("W3LPL", 14025, "DL5XYZ", "cw", clock0.time())
              + ClusterNodePeer::liveSpot("W3LPL", 14026, "VK2ABC", "cw", clock0.time()));
    ASSERT_TRUE(waitUntil([&] { return client->book().spots().size() == 2; }));
    QStringList needed;
    for (const SpotGroup& group : client->activeSpots(SpotDisplayOptions::fromSettings(Settings::standard())))
        if (!group.neededIDs.isEmpty())
            needed << group.label.name;
    EXPECT_EQ(needed, QStringList { "Australia" });

    // A file without contacts changes nothing.
    writeFile(dir.filePath("notes.txt"), "Remember to QSL DL1ABC\n");
    importThroughDialog(tab, dir.filePath("notes.txt"));
    EXPECT_EQ(tab.importMessage()->text(), "No QSOs found. Is this an ADIF (.adi) file?");
    EXPECT_EQ(tab.summary()->text(), "cqrlog-export.adi: 5 QSOs, 4 countries worked, 2 confirmed");

    tab.removeButton()->click();
    EXPECT_EQ(tab.summary()->text(), "No log imported");
    EXPECT_FALSE(tab.removeButton()->isVisible());
    EXPECT_FALSE(tab.importMessage()->isVisible());
    EXPECT_TRUE(tab.neededNote()->isVisible());
    EXPECT_FALSE(Settings::standard().contains(SettingKeys::logbookFileName));
}

TEST_F(ClusterTab, AnImportWhoseLogbookCannotBeSavedSaysSo)
{
    // The support folder would have to be inside a file: nothing can be written.
    writeFile(dir.filePath("blocker"), "not a folder");
    start(dir.filePath("blocker/Corvanta"));
    ClusterSettings tab(client.get());
    tab.show();
    const QString path = dir.filePath("log.adi");
    writeFile(path, loggerExport);
    importThroughDialog(tab, path);
    EXPECT_TRUE(tab.importMessage()->text().startsWith("The logbook was imported (5 QSOs) but could not be saved: "))
        << tab.importMessage()->text().toStdString();
    // Still in use for this run, matched with the built-in list; its name is
    // not stored, since the next start will not find its contacts.
    EXPECT_EQ(tab.summary()->text(),
              "Log: 5 QSOs, 4 countries worked, 2 confirmed (rough until the country file is downloaded)");
}

TEST_F(ClusterTab, UpdateNowIsBusyForTheWholeDownloadAndShowsTheNewFile)
{
    start();
    ClusterSettings tab(client.get());
    tab.show();
    const QString notYet = "Not downloaded yet (using a built-in list)";
    const QString nextTry = QString::fromUtf8(" · next try at ") + clock0.addSecs(3600).toLocalTime().toString("HH:mm");
    ASSERT_TRUE(waitUntil([&] { return tab.countryFileLabel()->text() == notYet + nextTry; })); // the start's own try
    EXPECT_EQ(countryFiles.count("/cty.dat"), 1);
    EXPECT_EQ(tab.updateButton()->text(), "Update now");

    // A failed download leaves the text; the button comes back.
    tab.updateButton()->click();
    EXPECT_EQ(tab.updateButton()->text(), "Updating…");
    EXPECT_EQ(tab.countryFileLabel()->text(), notYet);
    EXPECT_FALSE(tab.updateButton()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return tab.updateButton()->isEnabled(); }));
    EXPECT_EQ(tab.countryFileLabel()->text(), notYet + nextTry);

    HttpPeer::Response slow;
    slow.body = realCountryFile();
    slow.delayMs = 300;
    countryFiles.serve("/cty.dat", slow);
    tab.updateButton()->click();
    EXPECT_FALSE(waitUntil([&] { return tab.updateButton()->isEnabled(); }, 150));
    EXPECT_EQ(tab.updateButton()->text(), "Updating…");
    ASSERT_TRUE(waitUntil([&] { return tab.updateButton()->isEnabled(); }));
    EXPECT_EQ(tab.updateButton()->text(), "Update now");
    const int entities = CtyDatabase(QString::fromLatin1(realCountryFile())).entityCount();
    EXPECT_GT(entities, 300);
    EXPECT_EQ(tab.countryFileLabel()->text(), QString::number(entities) + " entities, 7 Dec 2026");
}

TEST_F(ClusterTab, AFailedCountryFileDownloadIsTriedAgainAndTheDateLineSaysWhen)
{
    const auto nextTry = [](std::chrono::milliseconds wait) {
        return QString::fromUtf8(" · next try at ") + clock0.addMSecs(wait.count()).toLocalTime().toString("HH:mm");
    };
    const int entities = CtyDatabase(QString::fromLatin1(realCountryFile())).entityCount();

    // An offline first start: the built-in list, and the next try soon (an
    // hour in the real program) without anyone pressing a button.
    start({}, [](DXClusterClient::Timing& t) { t.countryFileRetry = 500ms; });
    ClusterSettings tab(client.get());
    tab.show();
    ASSERT_TRUE(waitUntil([&] { return client->nextCountryFileTry().has_value(); }));
    EXPECT_EQ(*client->nextCountryFileTry(), clock0.addMSecs(500));
    EXPECT_EQ(tab.countryFileLabel()->text(), "Not downloaded yet (using a built-in list)" + nextTry(500ms));
    countryFiles.serve("/cty.dat", 200, realCountryFile());
    ASSERT_TRUE(waitUntil([&] { return client->countries().isFullCountryFile(); }));
    EXPECT_EQ(countryFiles.count("/cty.dat"), 2);
    EXPECT_EQ(tab.countryFileLabel()->text(), QString::number(entities) + " entities, 7 Dec 2026");
    EXPECT_FALSE(client->nextCountryFileTry());

    // A week-old file in use: tried again six hours later.
    countryFiles.serve("/cty.dat", 404, "");
    client.reset();
    cacheCountryFile(clock0.addDays(-8));
    start({}, [](DXClusterClient::Timing& t) { t.countryFileRetry = 500ms; });
    ClusterSettings stale(client.get());
    ASSERT_TRUE(waitUntil([&] { return client->nextCountryFileTry().has_value(); }));
    EXPECT_EQ(*client->nextCountryFileTry(), clock0.addSecs(6 * 3600));
    EXPECT_EQ(stale.countryFileLabel()->text(), QString::number(entities) + " entities, 29 Nov 2026" + nextTry(6h));

    // A fresh file in use: a failed "Update now" sets no next try.
    client.reset();
    cacheCountryFile(clock0);
    start();
    ASSERT_TRUE(waitUntil([&] { return client->countries().isFullCountryFile(); }));
    ClusterSettings fresh(client.get());
    fresh.updateButton()->click();
    ASSERT_TRUE(waitUntil([&] { return fresh.updateButton()->isEnabled(); }));
    EXPECT_EQ(countryFiles.count("/cty.dat"), 4);
    EXPECT_FALSE(client->nextCountryFileTry());
    EXPECT_EQ(fresh.countryFileLabel()->text(), QString::number(entities) + " entities, 7 Dec 2026");
}
