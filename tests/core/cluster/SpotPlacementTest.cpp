// Placing spots at the map's labels, and the alerts they raise.
#include "cluster/SpotAlerts.h"
#include "cluster/SpotGroup.h"
#include "cluster/SpotLocator.h"
#include "geo/GeoMath.h"
#include <gtest/gtest.h>

namespace {

const QDateTime t0(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);

// Italy and its "*" place Sicily, Germany, Japan, and a rock in the ocean.
const char16_t* const countryFile = u"Italy: 15: 28: EU: 42.00: -12.50: -1.0: I:\n I,IZ;\n"
                                    u"Sicily: 15: 28: EU: 37.50: -14.00: -1.0: *IT9:\n IT9;\n"
                                    u"Germany: 14: 28: EU: 51.00: -10.00: -1.0: DL:\n DA,DL;\n"
                                    u"Japan: 25: 45: AS: 36.40: -139.00: -9.0: JA:\n JA;\n"
                                    u"Lonely Rock: 33: 46: AF: -40.00: 10.00: 0.0: ZD9:\n ZD9;\n";

// The map has no Japan label; "JD1" lies 80 km from Tokyo.
const QList<PrefixEntity> labels {
    { "I", "Italy", 42.0, 12.5, "EU" },          { "IT9", "Sicily", 37.5, 14.0, "EU" },
    { "dl", "Germany", 51.0, 10.0, "EU" },       { "JD1", "Ogasawara", 36.0, 139.5, "AS" },
    { "JD1x", "Far island", 30.0, 139.0, "AS" },
};

DXSpot spot(double kHz, const char* call, int minute = 0, const char* comment = "")
{
    return DXSpot(kHz, call, "W3LPL", comment, t0.addSecs(60 * minute));
}

SpotDisplayOptions options(const char* watch = "", bool neededOnly = false)
{
    return SpotDisplayOptions::fromTexts("all", "160,80,40,20", neededOnly ? "needed" : "all", "country", false, watch);
}

QStringList ids(const QSet<StringKey>& set)
{
    QStringList list(set.begin(), set.end());
    list.sort();
    return list;
}

} // namespace

TEST(SpotPlacer, OwnLabelElseNearestWithin700KmElseTheCountryItself)
{
    const SpotPlacer placer(labels);
    const CtyEntity germany { "Germany", 14, 28, "EU", 51, 10, "DL" };
    EXPECT_EQ(placer.label(germany).name, "Germany"); // prefix compared in upper case
    const CtyEntity japan { "Japan", 25, 45, "AS", 36.4, 139.0, "JA" };
    EXPECT_EQ(placer.label(japan).prefix, "JD1");

    // 699.9 km away counts, 700 km does not.
    const double kmPerDegree = GeoMath::distanceKm({ 0, 0 }, { 1, 0 });
    const CtyEntity near { "Near", 0, 0, "AF", -40 + 699.9 / kmPerDegree, 10, "ZZ" };
    const QList<PrefixEntity> rock { { "R1", "Rock", -40, 10, "AF" }, { "R2", "Rock too", -40, 10, "AF" } };
    EXPECT_EQ(SpotPlacer(rock).label(near).prefix, "R1"); // of equally near labels the first
    const CtyEntity far { "Far", 0, 0, "AF", -40 + 700.000001 / kmPerDegree, 10, "ZZ" };
    EXPECT_EQ(SpotPlacer(rock).label(far), (PrefixEntity { "ZZ", "Far", far.latitude, 10, "AF" }));
}

TEST(SpotGroups, PlacesFiltersAndMarksSpots)
{
    SpotLocator locator { SpotPlacer(labels), CtyDatabase(countryFile) };
    // The logbook has Italy and Germany: Sicily counts as Italy, Japan is needed.
    const DXCCProgress progress({ { "I1ABC", Band::m20, true }, { "DL1XX", Band::m40, true } }, locator.countries());
    const QList<DXSpot> book {
        spot(14025, "JA1AAA", 9, "cw"), spot(7012, "JA2BBB", 8, "cw"),
        spot(14025, "IT9XYZ", 7, "cw"), spot(21025, "DL1WAT", 6, "cw"), // 15 m is not selected, but the call is watched
        spot(14025, "ZZ9ZZ", 5, "cw"),                                  // no country, even though watched
        spot(14025, "ZD9AA", 4, "cw"),                                  // no label within 700 km
    };
    const auto groups = SpotGroups::active(book, options("DL1WAT ZZ9ZZ"), &progress, locator);
    ASSERT_EQ(groups.size(), 4);
    const SpotGroup& japan = groups["JD1"];
    EXPECT_EQ(japan.spots, (QList<DXSpot> { book[0], book[1] }));
    EXPECT_EQ(ids(japan.neededIDs), (QStringList { "JA1AAA|20", "JA2BBB|40" }));
    EXPECT_TRUE(japan.watchedIDs.isEmpty());
    EXPECT_TRUE(groups["IT9"].neededIDs.isEmpty()); // drawn at Sicily, worked as Italy
    EXPECT_EQ(groups["dl"].watchedIDs, QSet<StringKey> { "DL1WAT|15" });
    EXPECT_TRUE(groups["dl"].neededIDs.isEmpty());
    EXPECT_EQ(groups["ZD9"].label.name, "Lonely Rock");
    EXPECT_EQ(locator.cachedLabels(), 4);

    // Needed only: Japan, the rock and the watched call. Without a logbook only the watched call.
    QList<StringKey> neededOnly = SpotGroups::active(book, options("DL1WAT", true), &progress, locator).keys();
    std::ranges::sort(neededOnly);
    EXPECT_EQ(neededOnly, (QList<StringKey> { "JD1", "ZD9", "dl" }));
    EXPECT_EQ(SpotGroups::active(book, options("DL1WAT", true), nullptr, locator).keys(), QList<StringKey> { "dl" });
    EXPECT_EQ(SpotGroups::watched(book, CallWatchList(u"ja*")).size(), 2);
    EXPECT_TRUE(SpotGroups::watched(book, CallWatchList(u" ")).isEmpty());

    // A new database forgets what was looked up in the old one.
    locator.setCountries(CtyDatabase(u"Japan: 25: 45: AS: 36.40: -139.00: -9.0: JA:\n JA;\n"));
    EXPECT_EQ(locator.cachedCalls(), 0);
    EXPECT_EQ(SpotGroups::active(book, options(), nullptr, locator).keys(), QList<StringKey> { "JD1" });

    // A flood of distinct calls never grows the memory past its bound, and
    // every call is still placed.
    for (int i = 0; i < SpotLocator::maxCachedCalls + 10; ++i)
        ASSERT_TRUE(locator.country(QStringLiteral("JA%1").arg(i)).place.has_value());
    EXPECT_LE(locator.cachedCalls(), SpotLocator::maxCachedCalls);
    EXPECT_EQ(locator.country("JA1AAA").place->name, "Japan");
}

TEST(SpotAlerts, EachKeyAlertsOnceUntilItWasQuietForASpotWindow)
{
    const CtyDatabase countries(countryFile);
    const DXCCProgress progress({ { "DL1XX", Band::m40, true } }, countries);
    const auto japan = countries.dxccEntity(u"JA1AAA");
    SpotAlerts alerts;
    const SpotDisplayOptions o = options("JA1AAA");

    // A watched call in a needed country: two alerts from one spot.
    QList<SpotAlert> raised = alerts.check(spot(14025, "JA1AAA", 0, "cw"), o, japan, &progress, {}, t0);
    ASSERT_EQ(raised.size(), 2);
    EXPECT_EQ(raised[0], (SpotAlert { "JA1AAA is on 14025.0 CW (spotted by W3LPL)", true }));
    EXPECT_EQ(raised[1], (SpotAlert { "New country on 20 m: Japan, JA1AAA 14025.0 CW", false }));
    EXPECT_EQ(AlertBatch::title(raised), "2 DX alerts");
    EXPECT_EQ(AlertBatch::soundEvent(raised), "complete");

    // Spotted every minute: silent, and each spot keeps the keys fresh.
    for (int minute = 1; minute <= 30; ++minute)
        EXPECT_TRUE(
            alerts.check(spot(14025, "JA1AAA", minute), o, japan, &progress, {}, t0.addSecs(60 * minute)).isEmpty());
    alerts.prune(t0.addSecs(60 * 10));
    EXPECT_EQ(alerts.seen().value("W|JA1AAA|20"), t0.addSecs(60 * 30));
    // Country scope: another band is the same key.
    EXPECT_TRUE(alerts.check(spot(7025, "JA2BBB"), o, japan, &progress, {}, t0.addSecs(1860)).isEmpty());
    // Band-country scope: a new key per band.
    SpotDisplayOptions bandCountry = o;
    bandCountry.needScope = NeedScope::bandCountry;
    EXPECT_EQ(alerts.check(spot(7025, "JA2BBB"), bandCountry, japan, &progress, {}, t0.addSecs(1860)).size(), 1);

    // Quiet for a whole spot window: the next spot alerts again.
    alerts.prune(t0.addSecs(60 * 31));
    EXPECT_TRUE(alerts.seen().contains("N|JA|40")) << "at the cutoff it stays";
    alerts.prune(t0.addSecs(60 * 32));
    EXPECT_TRUE(alerts.seen().isEmpty());
    EXPECT_EQ(alerts.check(spot(14025, "JA1AAA"), o, japan, &progress, {}, t0.addSecs(3600)).size(), 2);

    // A new progress: the needed country may alert again, the watched call not.
    alerts.forgetNeeded();
    raised = alerts.check(spot(14025, "JA1AAA"), o, japan, &progress, {}, t0.addSecs(3660));
    EXPECT_EQ(raised, (QList<SpotAlert> { { "New country on 20 m: Japan, JA1AAA 14025.0 CW", false } }));
}

TEST(SpotAlerts, FilterSwitchesAndSpotsWithoutBand)
{
    const CtyDatabase countries(countryFile);
    const DXCCProgress progress({ { "DL1XX", Band::m40, true } }, countries);
    const auto japan = countries.dxccEntity(u"JA1AAA");
    const SpotDisplayOptions o = options("JA1AAA JA9*");
    SpotAlerts alerts;
    // 15 m is not selected: the needed country stays quiet, the watched call does not.
    EXPECT_TRUE(alerts.check(spot(21025, "JA5AAA"), o, japan, &progress, {}, t0).isEmpty());
    EXPECT_EQ(alerts.check(spot(21025, "JA9AAA"), o, japan, &progress, {}, t0).size(), 1);
    // Without a logbook: watched calls only.
    EXPECT_EQ(alerts.check(spot(14025, "JA9BBB"), o, japan, nullptr, {}, t0).size(), 1);
    // A switched-off alert still records its key.
    EXPECT_TRUE(alerts.check(spot(14025, "JA5AAA"), o, japan, &progress, { true, false }, t0).isEmpty());
    EXPECT_TRUE(alerts.seen().contains("N|JA"));
    // Outside every band: key band 0.
    SpotDisplayOptions all = o;
    all.bands.clear();
    all.needScope = NeedScope::bandCountry;
    const DXSpot odd = spot(9000, "JA1AAA");
    EXPECT_EQ(SpotAlerts::watchedKey(odd), "W|JA1AAA|0");
    EXPECT_EQ(SpotAlerts::neededKey(*japan, odd, NeedScope::bandCountry), "N|JA|0");
    EXPECT_EQ(alerts.check(odd, all, japan, &progress, {}, t0).size(), 1);

    QList<SpotAlert> seven;
    for (int i = 1; i <= 7; ++i)
        seven.append({ QString("alert %1").arg(i), false });
    EXPECT_EQ(AlertBatch::title(seven), "7 DX alerts");
    EXPECT_EQ(AlertBatch::body(seven), QString::fromUtf8("alert 1\nalert 2\nalert 3\nalert 4\nalert 5\n…"));
    EXPECT_EQ(AlertBatch::body(seven.first(3)), "alert 1\nalert 2\nalert 3");
    EXPECT_EQ(AlertBatch::soundEvent(seven), "message-new-instant");
    EXPECT_EQ(AlertBatch::title(seven.first(1)), "Needed country on the cluster");
    EXPECT_EQ(AlertBatch::title({ { "x", true } }), "Watched call on the cluster");
}
