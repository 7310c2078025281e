#include "cluster/CtyDat.h"
#include "geo/MapData.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

const QString realFile = QStringLiteral("/usr/share/hamradio-files/cty.dat");

QString readRealFile()
{
    QFile file(realFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll());
}

QString prefixOf(const CtyDatabase& db, const char* call)
{
    const auto entity = db.entity(QString::fromUtf8(call));
    return entity ? entity->primaryPrefix : QStringLiteral("-");
}

// Hand-written records for the forms the real file does not carry: every
// override bracket, "*" prefixes, bad numbers, colons in the alias list.
const char* const smallFile = R"(
Germany:                  14:  28:  EU:   51.00:   -10.00:    -1.0:  DL:
    DA,DL,=DL0ABC/P(14)[28],DM<51.0/-10.0>,DN{EU}~-1.0~;
Alaska:                   01:  01:  NA:   61.40:   148.87:     8.0:  KL7:
    AL,KL,NL,WL,=W1AW/KL7;
Bad Zone:                 1x:  28:  EU:   50.00:   -10.00:    -1.0:  ZZ1:
    ZZ1;
Not A Place:              14:  28:  EU:     nan:   -10.00:    -1.0:  ZZ2:
    ZZ2;
Far Away:                 14:  28:  EU:   10.00:      inf:    -1.0:  ZZ3:
    ZZ3;
United States:            05:  08:  NA:   37.53:    91.67:     5.0:  K:
    K,N,W,AA(4),(5)[8],AB:C;
Japan:                    25:  45:  AS:   36.40:  -139.00:    -9.0:  JA:
    JA,7J,=JA1XYZ/1;
Guantanamo Bay:           08:  11:  NA:   20.00:    75.00:     5.0:  *KG4:
    KG4,KG4X[1;
Eight Pieces:             01:  01:  NA:    1.00:     1.00:     0.0:  ZZ4;
Twin:                     01:  01:  NA:    1.00:     1.00:     0.0:  ZZ5:
    DL;
trailing text without a record end: 1: 2
)";

} // namespace

TEST(CtyDatabase, ReadsRecordsAndSkipsBadOnes)
{
    const CtyDatabase db(QString::fromUtf8(smallFile));
    // Germany, Alaska, United States, Japan, Guantanamo, Twin.
    EXPECT_EQ(db.entityCount(), 6);
    EXPECT_FALSE(db.isFullCountryFile());

    const CtyEntity japan { "Japan", 25, 45, "AS", 36.40, 139.0, "JA" };
    EXPECT_EQ(db.entity(u"JA1ABC"), japan); // west-positive file longitude turned east
    EXPECT_EQ(japan.coordinate(), (GeoCoordinate { 36.40, 139.0 }));

    const auto guantanamo = db.entity(u"KG4AB");
    ASSERT_TRUE(guantanamo);
    EXPECT_EQ(guantanamo->primaryPrefix, "KG4");
    EXPECT_TRUE(db.prefixes().contains("KG4"));

    for (const char* gone : { "ZZ1A", "ZZ2A", "ZZ3A", "ZZ4A" })
        EXPECT_EQ(prefixOf(db, gone), "-") << gone;
    // The later record wins a shared key.
    EXPECT_EQ(prefixOf(db, "DL1XX"), "ZZ5");
    EXPECT_EQ(prefixOf(db, "DA1XX"), "DL");
    EXPECT_EQ(CtyDatabase(u"not a country file; at all").entityCount(), 0);
}

TEST(CtyDatabase, StripsOverridesFromAliases)
{
    const CtyDatabase db(QString::fromUtf8(smallFile));
    EXPECT_EQ(prefixOf(db, "dl0abc/p"), "DL"); // exact call kept "/P" and lost its zones
    EXPECT_TRUE(db.exactCalls().contains("DL0ABC/P"));
    for (const char* key : { "DM", "DN", "AA", "AB:C" })
        EXPECT_TRUE(db.prefixes().contains(key)) << key;
    EXPECT_FALSE(db.prefixes().contains(""));
    EXPECT_TRUE(db.prefixes().contains("KG4X")); // an unclosed bracket drops the rest
    EXPECT_EQ(db.longestPrefix(), 4);            // AB:C, KG4X; exact calls do not count

    const struct {
        const char16_t* alias;
        const char16_t* stripped;
    } cases[] = {
        { u"=K1ABC(5)[8]", u"=K1ABC" },
        { u"VE1<44.6/63.6>", u"VE1" },
        { u"UA9{AS}", u"UA9" },
        { u"R8~5.0~", u"R8" },
        { u"(5)", u"" },
        { u"K1[8", u"K1" },
        { u"K(1[2)3", u"K3" },
        { u" W1 ", u"W1" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(CtyDatabase::stripOverrides(c.alias), QString::fromUtf16(c.stripped));
}

TEST(CtyDatabase, FullFileNeedsOverThreeHundredCountries)
{
    const auto file = [](int records) {
        QString text;
        for (int i = 0; i < records; ++i)
            text += QStringLiteral("C%1: 1: 1: EU: 1.0: 2.0: 0.0: Q%1:\n Q%1;\n").arg(i);
        return CtyDatabase(text);
    };
    EXPECT_FALSE(file(300).isFullCountryFile());
    EXPECT_TRUE(file(301).isFullCountryFile());
    EXPECT_EQ(file(301).entityCount(), 301);
}

TEST(CtyDatabase, ResolvesPortableAndSpecialCalls)
{
    const CtyDatabase db(QString::fromUtf8(smallFile));
    const struct {
        const char* call;
        const char* prefix;
    } cases[] = {
        { "  w1aw\t", "K" },    { "JA/K1ABC", "JA" }, { "K1ABC/JA", "JA" },  { "K1ABC/P", "K" }, { "K1ABC/4", "K" },
        { "K1ABC/P/QRP", "K" }, { "JA1XYZ/1", "JA" }, { "W1AW/KL7", "KL7" }, // exact call before splitting
        { "JA/DL", "JA" },      { "DL/JA", "ZZ5" },                          // equal lengths: order written
        { "K1ABC/MM", "-" },    { "DL1XX/AM", "-" },  { "MM0ABC", "-" },     { "/", "-" },       { "   ", "-" },
        { "P/4", "-" },         { "XX1ABC/P", "-" },  { "ZZ9/Q", "-" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(prefixOf(db, c.call), c.prefix) << c.call;
}

TEST(CtyDatabase, ReadsTheRealCountryFile)
{
    const QString text = readRealFile();
    if (text.isEmpty())
        GTEST_SKIP() << "no " << realFile.toStdString();
    const CtyDatabase db(text);
    EXPECT_EQ(db.entityCount(), 346);
    EXPECT_TRUE(db.isFullCountryFile());
    EXPECT_GT(db.exactCalls().size(), 19000);

    const auto germany = db.entity(u"DL1ABC");
    ASSERT_TRUE(germany);
    EXPECT_EQ(germany->name, "Fed. Rep. of Germany");
    EXPECT_EQ(germany->continent, "EU");
    EXPECT_EQ(germany->cqZone, 14);
    EXPECT_GT(germany->longitude, 0); // east of Greenwich

    const struct {
        const char* call;
        const char* prefix;
    } cases[] = {
        { "9M2/PG5M", "1S" }, { "3A/4Z5KJ/LH", "3A" }, { "K1ABC", "K" },       { "EA8/DL1ABC", "EA8" },
        { "DL1ABC/P", "DL" }, { "VP8/G3ABC", "VP8" },  { "KH6/K1ABC", "KH6" }, { "KP4/W1AW/P", "KP4" },
        { "G4ABC/MM", "-" },  { "F5ABC/4", "F" },      { "ja1abc", "JA" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(prefixOf(db, c.call), c.prefix) << c.call;
}

TEST(CtyDatabase, RealCallsBeyondThePlainPrefixRules)
{
    const QString text = readRealFile();
    if (text.isEmpty())
        GTEST_SKIP() << "no " << realFile.toStdString();
    const CtyDatabase db(text);
    const struct {
        const char* call;
        const char* prefix;
    } cases[] = {
        // KG4 and two letters only is Guantanamo Bay; calls the file lists win.
        { "KG4AB", "KG4" },
        { "KG4AB/P", "KG4" },
        { "KG4WXU", "K" },
        { "KG4NDS", "K" },
        { "KG4Z", "K" },
        { "KG44WW", "KG4" },
        { "KG4DFX", "K" },
        { "W1ABC/KG4", "KG4" },
        // A location part that is one of the file's prefixes, as long as the
        // home call or longer.
        { "N7WE/VP2V", "VP2V" },
        { "K4I/CE0Y", "CE0Y" },
        { "N7EH/VK9N", "VK9N" },
        { "K2H/OH0", "OH0" },
        { "VP2V/N7WE", "VP2V" },
        // Otherwise the shorter part.
        { "W1ABC/KH6", "KH6" },
        { "KH6/W1ABC", "KH6" },
        { "DL/G4ABC", "DL" },
        { "G4ABC/DL1", "DL" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(prefixOf(db, c.call), c.prefix) << c.call;
}

TEST(CtyDatabase, StarredPlacesAreNoDXCCCountries)
{
    const QString text = readRealFile();
    if (text.isEmpty())
        GTEST_SKIP() << "no " << realFile.toStdString();
    const CtyDatabase db(text);
    const auto dxccOf = [&](const char* call) {
        const auto entity = db.dxccEntity(QString::fromUtf8(call));
        return entity ? entity->primaryPrefix : QStringLiteral("-");
    };
    const struct {
        const char* call;
        const char* place;
        const char* dxcc;
    } cases[] = {
        { "IT9ABC", "IT9", "I" },   { "IW9XYZ/P", "IT9", "I" }, { "W1ABC/IT9", "IT9", "I" },
        { "IH9ABC", "IG9", "I" },   { "GM4LER", "GM/s", "GM" }, { "MM0ZAL", "GM/s", "GM" },
        { "JW0BEA", "JW/b", "JW" }, { "TA1ABC", "TA1", "TA" },  { "I1ABC", "I", "I" },
        { "DL1ABC", "DL", "DL" },   { "KG4WXU", "K", "K" },     { "N7WE/VP2V", "VP2V", "VP2V" },
        { "G4ABC/MM", "-", "-" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(prefixOf(db, c.call), c.place) << c.call;
        EXPECT_EQ(dxccOf(c.call), c.dxcc) << c.call;
    }
    const auto sicily = db.entity(u"IT9ABC");
    ASSERT_TRUE(sicily);
    EXPECT_FALSE(db.isDxcc(*sicily));
    EXPECT_TRUE(db.isDxcc(*db.entity(u"I1ABC")));
    EXPECT_EQ(sicily->name, "Sicily"); // the map still shows the place

    QSet<QString> starred;
    for (const CtyEntity& entity : db.prefixes())
        if (!db.isDxcc(entity))
            starred.insert(entity.primaryPrefix);
    for (const CtyEntity& entity : db.exactCalls())
        if (!db.isDxcc(entity))
            starred.insert(entity.primaryPrefix);
    EXPECT_EQ(starred, (QSet<QString> { "4U1V", "GM/s", "IG9", "IT9", "JW/b", "TA1" }));
}

TEST(CtyDatabase, BuiltInTableFromTheMapsLabels)
{
    const QList<PrefixEntity> labels {
        { "G", "England", 52.77, -1.47, "EU" },
        { "GM", "Scotland", 56.82, -4.18, "EU" },
        { "3D2/c", "Conway Reef", -22.0, 175.0, "OC" },
        { "ZZ", "Nowhere", 1, 2, "AF" },
        { "", "Blank", 0, 0, "EU" },
    };
    const CtyDatabase db = CtyDatabase::builtIn(labels);
    EXPECT_EQ(db.entityCount(), 4); // the "/" label is not taken in, the blank one is counted
    EXPECT_FALSE(db.isFullCountryFile());
    EXPECT_TRUE(db.exactCalls().isEmpty());

    const CtyEntity scotland { "Scotland", 0, 0, "EU", 56.82, -4.18, "GM" };
    for (const char16_t* call : { u"GM4ABC", u"MM0ABC", u"2M0ABC", u"GS3XYZ" })
        EXPECT_EQ(db.entity(call), scotland) << QString::fromUtf16(call).toStdString();
    for (const char16_t* call : { u"M0ABC", u"2E0ABC", u"G3ABC/P" })
        EXPECT_EQ(db.entity(call)->name, "England") << QString::fromUtf16(call).toStdString();
    EXPECT_FALSE(db.entity(u"3D2CR"));
    EXPECT_FALSE(db.entity(u"AL7X")); // KL7's aliases need a KL7 label
    EXPECT_EQ(db.longestPrefix(), 3); // 2M0

    // The real labels answer the everyday calls before any country file.
    const CtyDatabase fromMap = CtyDatabase::builtIn(MapData::prefixes());
    ASSERT_GT(fromMap.entityCount(), 300);
    EXPECT_FALSE(fromMap.isFullCountryFile()) << "as many labels as a country file has countries";
    const struct {
        const char16_t* call;
        const char* prefix;
    } cases[]
        = { { u"DL1ABC", "DL" }, { u"K1ABC", "K" }, { u"AL7XY", "KL7" }, { u"OF1AB", "OH" }, { u"EA8/G3ABC", "EA8" } };
    for (const auto& c : cases)
        EXPECT_EQ(fromMap.entity(c.call).value_or(CtyEntity {}).primaryPrefix, c.prefix) << c.prefix;
}
