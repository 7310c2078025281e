#include "cluster/ClusterConfig.h"
#include "cluster/ClusterLogin.h"
#include "cluster/ClusterNode.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ClusterConfig, TypedAddressesGiveHostAndPort)
{
    const struct {
        const char* typed;
        const char* host;
        quint16 port;
    } cases[] = {
        { "dx.example.net", "dx.example.net", 23 },
        { "dx.example.net:7300", "dx.example.net", 7300 },
        { "  dx.example.net 8000 \n", "dx.example.net", 8000 },
        { "telnet://dx.example.net:7373/", "dx.example.net", 7373 },
        { "telnet://telnet://x:1", "telnet", 23 }, // only the first scheme goes
        { "dx.example.net//", "dx.example.net/", 23 },
        { "dx.example.net:65535", "dx.example.net", 65535 },
        { "dx.example.net:65536", "dx.example.net", 23 },
        { "dx.example.net:80x", "dx.example.net", 23 },
        { "dx.example.net:+80", "dx.example.net", 23 },
        { "dx.example.net::8000: extra", "dx.example.net", 8000 },
        { "", "", 23 },
        { " : :", "", 23 },
        { "telnet://", "", 23 },
    };
    for (const auto& c : cases) {
        const ClusterAddress address = ClusterConfig::parseAddress(QString::fromUtf8(c.typed));
        EXPECT_EQ(address.host, QString::fromUtf8(c.host)) << c.typed;
        EXPECT_EQ(address.port, c.port) << c.typed;
    }
}

TEST(ClusterConfig, SettingsChooseNodeCallsignAndCommands)
{
    QTemporaryDir dir;
    Settings settings(dir.filePath("Corvanta.ini"));

    // Nothing stored: off, on the default node, which the catalogue names.
    ClusterConfig config = ClusterConfig::read(settings);
    EXPECT_EQ(ClusterNode::known().front().id, QString::fromLatin1(SettingKeys::clusterNode.fallback));
    EXPECT_EQ(config, (ClusterConfig { false, "dxc.ve7cc.net", 23, "VE7CC-1", "", "" }));

    settings.set(SettingKeys::clusterEnabled, true);
    settings.set(SettingKeys::clusterNode, "w3lpl");
    settings.set(SettingKeys::callsign, " \tdl1abc/p\t ");
    settings.set(SettingKeys::clusterCommands, "set/skimmer; sh/wwv\n");
    config = ClusterConfig::read(settings);
    EXPECT_EQ(config, (ClusterConfig { true, "w3lpl.net", 7373, "W3LPL", "DL1ABC/P", "set/skimmer; sh/wwv\n" }));

    settings.set(SettingKeys::clusterNode, "W3LPL"); // ids are lower case: unknown, so the default
    EXPECT_EQ(ClusterConfig::read(settings).host, "dxc.ve7cc.net");

    settings.set(SettingKeys::clusterNode, "custom");
    settings.set(SettingKeys::clusterCustomAddress, "telnet://127.0.0.1:7300");
    config = ClusterConfig::read(settings);
    EXPECT_EQ(config.host, "127.0.0.1");
    EXPECT_EQ(config.port, 7300);
    EXPECT_EQ(config.name, "127.0.0.1");
    settings.remove(SettingKeys::clusterCustomAddress);
    EXPECT_EQ(ClusterConfig::read(settings).host, "");
}

TEST(ClusterLogin, CallsignTriggersAndTheLinesAfterIt)
{
    EXPECT_TRUE(ClusterLogin::promptAsksForCall(u"login: "));
    EXPECT_TRUE(ClusterLogin::promptAsksForCall(u"Please enter your CALL: "));
    EXPECT_FALSE(ClusterLogin::promptAsksForCall(u"Welcome to the node "));
    EXPECT_TRUE(ClusterLogin::lineAsksForCall(u"Please enter your Callsign"));
    EXPECT_TRUE(ClusterLogin::lineAsksForCall(u"What is YOUR CALL?"));
    // A complete line needs more than "call": a spot's comment says "call" often.
    EXPECT_FALSE(ClusterLogin::lineAsksForCall(u"DX de K1ABC: 14025.0 W1AW call me"));

    EXPECT_EQ(ClusterLogin::linesAfterCallsign(u""), QStringList { "sh/dx 50" });
    EXPECT_EQ(ClusterLogin::linesAfterCallsign(u" set/skimmer ;\n\n\tunset/beep \t;; sh/wwv 5\n"),
              (QStringList { "set/skimmer", "unset/beep", "sh/wwv 5", "sh/dx 50" }));
    // A CR LF pair is one break of a pasted text, not a lone line feed.
    EXPECT_EQ(ClusterLogin::linesAfterCallsign(u"a\r\nb\nc"), (QStringList { "a\r\nb", "c", "sh/dx 50" }));
    EXPECT_EQ(ClusterLogin::encodeLine(u"dl1äbc"),
              QByteArray("dl1\xc3\xa4"
                         "bc\r\n"));
}
