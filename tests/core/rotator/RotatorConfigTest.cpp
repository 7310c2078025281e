#include "rotator/RotatorConfig.h"
#include "support/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// A configuration with no default left, so a round trip proves every field.
RotatorConfig everythingSet()
{
    RotatorConfig c;
    c.id = QUuid::fromString(QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    c.name = QStringLiteral("Tower, \"north\" \u00e9");
    c.proto = RotatorProtocol::prosistel;
    c.port = QStringLiteral("/dev/ttyUSB1");
    c.baud = 4800;
    c.host = QStringLiteral("shack.local");
    c.tcpPort = 4534;
    c.beamWidth = 42.5;
    c.range = 450;
    c.offset = -12.25;
    c.color = QStringLiteral("#00FF0080");
    c.showLongPath = true;
    c.softStart = false;
    return c;
}

RotatorConfig serial(const QString& port, RotatorProtocol proto = RotatorProtocol::gs232b)
{
    RotatorConfig c;
    c.port = port;
    c.proto = proto;
    return c;
}

QList<QUuid> ids(const QList<RotatorConfig>& list)
{
    QList<QUuid> out;
    for (const auto& c : list)
        out.append(c.id);
    return out;
}

} // namespace

TEST(RotatorConfig, StartsFromTheDefaults)
{
    const RotatorConfig a;
    const RotatorConfig b;
    EXPECT_FALSE(a.id.isNull());
    EXPECT_NE(a.id, b.id);
    EXPECT_EQ(a.name, "Rotator");
    EXPECT_EQ(a.proto, RotatorProtocol::gs232b);
    EXPECT_TRUE(a.port.isEmpty());
    EXPECT_EQ(a.baud, 9600);
    EXPECT_FALSE(a.host.isEmpty());
    EXPECT_EQ(a.tcpPort, 4533);
    EXPECT_EQ(a.beamWidth, 60.0);
    EXPECT_EQ(a.range, 360);
    EXPECT_EQ(a.offset, 0.0);
    EXPECT_EQ(a.color, "#FFD24AFF");
    EXPECT_FALSE(a.showLongPath);
    EXPECT_TRUE(a.softStart);
    EXPECT_EQ(a.geometry(), RotatorGeometry(360, 0));
}

TEST(RotatorConfig, WritesEveryKeyWithItsJsonType)
{
    const QJsonObject o = everythingSet().toJson();
    EXPECT_EQ(o.size(), 13);
    EXPECT_EQ(o["id"].toString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(o["name"].toString(), everythingSet().name);
    EXPECT_EQ(o["proto"].toString(), "prosistel");
    EXPECT_EQ(o["port"].toString(), "/dev/ttyUSB1");
    EXPECT_TRUE(o["baud"].isDouble());
    EXPECT_EQ(o["baud"].toInt(), 4800);
    EXPECT_EQ(o["host"].toString(), "shack.local");
    EXPECT_EQ(o["tcpPort"].toInt(), 4534);
    EXPECT_EQ(o["beamWidth"].toDouble(), 42.5);
    EXPECT_EQ(o["range"].toInt(), 450);
    EXPECT_EQ(o["offset"].toDouble(), -12.25);
    EXPECT_EQ(o["color"].toString(), "#00FF0080");
    EXPECT_TRUE(o["showLongPath"].isBool() && o["showLongPath"].toBool());
    EXPECT_TRUE(o["softStart"].isBool() && !o["softStart"].toBool());
}

TEST(RotatorConfig, RoundTripsTheStoredList)
{
    EXPECT_EQ(RotatorConfig::encode({}), "[]");
    const QList<RotatorConfig> list { everythingSet(), RotatorConfig(),
                                      serial("/dev/ttyS0", RotatorProtocol::rotctld) };
    const QString text = RotatorConfig::encode(list);
    EXPECT_FALSE(text.contains(u'\n')) << "compact";
    EXPECT_EQ(RotatorConfig::decode(text), list);
}

TEST(RotatorConfig, ReadsAbsentAndNullKeysAsDefaults)
{
    const auto one = RotatorConfig::decode("[{}]");
    ASSERT_EQ(one.size(), 1);
    RotatorConfig expected;
    expected.id = one[0].id;
    EXPECT_EQ(one[0], expected);
    EXPECT_FALSE(one[0].id.isNull());
    EXPECT_NE(RotatorConfig::decode("[{}]")[0].id, one[0].id) << "a fresh id each time";

    const auto nulls = RotatorConfig::decode(
        R"([{"id":null,"name":null,"proto":null,"port":null,"baud":null,"host":null,"tcpPort":null,)"
        R"("beamWidth":null,"range":null,"offset":null,"color":null,"showLongPath":null,"softStart":null,"extra":[1]}])");
    ASSERT_EQ(nulls.size(), 1);
    expected.id = nulls[0].id;
    EXPECT_EQ(nulls[0], expected);

    const auto partial = RotatorConfig::decode(
        R"([{"id":"00000000-0000-0000-0000-000000000000","name":"Yagi","range":400,"baud":9600.0}])");
    ASSERT_EQ(partial.size(), 1);
    EXPECT_TRUE(partial[0].id.isNull()) << "the all-zero UUID is a valid id";
    EXPECT_EQ(partial[0].name, "Yagi");
    EXPECT_EQ(partial[0].range, 400) << "kept as stored";
    EXPECT_EQ(partial[0].geometry().range(), 360);
    EXPECT_EQ(partial[0].proto, RotatorProtocol::gs232b);

    const auto lower = RotatorConfig::decode(R"([{"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"}])");
    ASSERT_EQ(lower.size(), 1);
    EXPECT_EQ(lower[0].id, everythingSet().id);
}

TEST(RotatorConfig, LosesTheWholeListOverOneBadEntry)
{
    const QString good = R"({"name":"Good"})";
    const char* bad[] = {
        R"({"baud":"9600"})",
        R"({"baud":9600.5})",
        R"({"baud":1e12})",
        R"({"range":"450"})",
        R"({"proto":"GS232B"})",
        R"({"proto":"yaesu"})",
        R"({"proto":1})",
        R"({"id":"not-a-uuid"})",
        R"({"id":"{e621e1f8-c36c-495a-93fc-0c247a3e6e5f}"})",
        R"({"id":42})",
        R"({"name":7})",
        R"({"beamWidth":"60"})",
        R"({"offset":true})",
        R"({"softStart":1})",
        R"({"showLongPath":"true"})",
        R"({"color":["#FFFFFFFF"]})",
        R"("a string")",
        R"(null)",
    };
    for (const char* entry : bad) {
        const QString text = "[" + good + "," + QString::fromUtf8(entry) + "]";
        EXPECT_TRUE(RotatorConfig::decode(text).isEmpty()) << entry;
    }
    for (const char* text : { "", "[]", "{}", "null", "[", "[{}", "not json", "[{\"offset\":1e999}]", "\"[]\"" })
        EXPECT_TRUE(RotatorConfig::decode(QString::fromUtf8(text)).isEmpty()) << text;
}

TEST(RotatorConfig, WritesNonFiniteNumbersAsDefaults)
{
    // Such values cannot be written as JSON; the rest of the list must
    // survive rather than the whole list being stored empty.
    RotatorConfig odd = everythingSet();
    odd.beamWidth = std::numeric_limits<double>::infinity();
    odd.offset = std::numeric_limits<double>::quiet_NaN();
    const auto back = RotatorConfig::decode(RotatorConfig::encode({ odd, RotatorConfig() }));
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back[0].name, odd.name);
    EXPECT_EQ(back[0].beamWidth, 60.0);
    EXPECT_EQ(back[0].offset, 0.0);
}

TEST(RotatorConfig, FindsPortClashesAmongSerialRotators)
{
    const RotatorConfig a = serial("/dev/ttyUSB0");
    const RotatorConfig b = serial("/dev/ttyUSB0", RotatorProtocol::prosistel);
    const RotatorConfig net = serial("/dev/ttyUSB0", RotatorProtocol::rotctld);
    const RotatorConfig other = serial("/dev/ttyUSB1");
    const RotatorConfig unset = serial("");
    const RotatorConfig unset2 = serial("");
    const RotatorConfig c = serial("/dev/ttyUSB0", RotatorProtocol::gs232a);
    const QList<RotatorConfig> list { a, net, b, other, unset, unset2, c, a };

    EXPECT_EQ(ids(a.portClashes(list)), (QList<QUuid> { b.id, c.id })) << "never itself, in list order";
    EXPECT_EQ(ids(b.portClashes(list)), (QList<QUuid> { a.id, c.id, a.id }));
    EXPECT_TRUE(net.portClashes(list).isEmpty());
    EXPECT_TRUE(other.portClashes(list).isEmpty());
    EXPECT_TRUE(unset.portClashes(list).isEmpty());
    EXPECT_TRUE(a.portClashes({}).isEmpty());
    EXPECT_TRUE(serial("/dev/ttyusb0").portClashes(list).isEmpty()) << "exact text only";
}

TEST(RotatorConfig, KeepsTheListInTheSettingsFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Corvanta.ini");
    // Commas, quotes and non-ASCII text inside the JSON must come back
    // unchanged from the INI file.
    const QList<RotatorConfig> list { everythingSet(), serial("/dev/cu.usbserial-A10, x") };
    {
        Settings settings(path);
        EXPECT_TRUE(RotatorConfig::load(settings).isEmpty());
        QStringList changed;
        QObject::connect(&settings, &Settings::changed, [&](const QString& key) { changed.append(key); });
        RotatorConfig::save(settings, list);
        EXPECT_EQ(changed, QStringList { "rotators" });
        settings.sync();
    }
    Settings reopened(path);
    EXPECT_EQ(reopened.stringValue("rotators"), RotatorConfig::encode(list));
    EXPECT_EQ(RotatorConfig::load(reopened), list);

    reopened.setValue("rotators", "[{\"baud\":\"fast\"}]");
    EXPECT_TRUE(RotatorConfig::load(reopened).isEmpty());
    EXPECT_EQ(reopened.stringValue("rotators"), "[{\"baud\":\"fast\"}]") << "reading never rewrites";
}
