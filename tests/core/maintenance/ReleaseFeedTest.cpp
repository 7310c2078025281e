// The feed decides what is offered; the address rules decide where the
// application may be made to read and download from.
#include "maintenance/ReleaseFeed.h"
#include "support/Endpoints.h"

#include <gtest/gtest.h>

TEST(ReleaseFeed, DecodesTheDocumentAndRefusesWhatIsNotOne)
{
    const auto release = ReleaseFeed::decode(R"({"version": "0.9.1", "url": "https://x/a.zip",
        "sha256": "AB12", "notes": "Faster map.", "extra": 7})");
    ASSERT_TRUE(release.has_value());
    EXPECT_EQ(*release, (ReleaseFeed::Release { "0.9.1", "https://x/a.zip", "AB12", QString("Faster map.") }));
    EXPECT_EQ(ReleaseFeed::decode(R"({"version":"1","url":"u","sha256":"s","notes":null})")->notes, std::nullopt);

    const std::pair<const char*, const char*> refused[] = {
        { R"({"url":"u","sha256":"s"})", "\"version\" is missing." },
        { R"({"version":1.2,"url":"u","sha256":"s"})", "\"version\" is not text." },
        { R"({"version":"1","url":"u","sha256":"s","notes":["a"]})", "\"notes\" is not text." },
        { R"({"Version":"1","url":"u","sha256":"s"})", "\"version\" is missing." },
        { R"(["version","url","sha256"])", "it is not a JSON object." },
        { "<html>Not Found</html>", "" },
    };
    for (const auto& [body, why] : refused) {
        const auto result = ReleaseFeed::decode(body);
        ASSERT_FALSE(result.has_value()) << body;
        EXPECT_TRUE(result.error().message.startsWith("The release feed couldn't be read: ")) << body;
        EXPECT_TRUE(result.error().message.endsWith(why)) << result.error().message.toStdString();
    }
}

TEST(ReleaseFeed, OnlyLoopbackAddressesOverrideTheMakersSiteAndOnlyOverHttp)
{
    const QUrl builtIn = ReleaseFeed::builtInFeed();
    EXPECT_EQ(builtIn, QUrl("https://" + Endpoints::makerHost() + "/corvanta/download/linux/latest.json"));
    for (const char* used : { "http://127.0.0.1:8080/feed.json", "http://127.0.0.1/x/y?z=1" })
        EXPECT_EQ(ReleaseFeed::effectiveFeed(used), QUrl(used)) << used;
    for (const char* ignored :
         { "", "https://127.0.0.1:8080/feed.json", "http://localhost:8080/feed.json", "http://127.0.0.2/feed.json",
           "http://127.0.0.1.evil.example/feed.json", "127.0.0.1:8080/feed.json", "not a url at all" })
        EXPECT_EQ(ReleaseFeed::effectiveFeed(ignored), builtIn) << ignored;

    const QUrl local("http://127.0.0.1:8080/feed.json");
    const QString maker = Endpoints::makerHost();
    EXPECT_TRUE(ReleaseFeed::isAllowedArchiveAddress(QUrl("https://" + maker + "/a.zip"), builtIn));
    EXPECT_TRUE(ReleaseFeed::isAllowedArchiveAddress(QUrl("https://" + maker + ":8443/a.zip"), local));
    EXPECT_FALSE(ReleaseFeed::isAllowedArchiveAddress(QUrl("https://" + maker + ".evil.example/a.zip"), builtIn));
    EXPECT_FALSE(ReleaseFeed::isAllowedArchiveAddress(QUrl("https://" + maker + "@evil.example/a.zip"), builtIn));
    EXPECT_FALSE(ReleaseFeed::isAllowedArchiveAddress(QUrl("http://127.0.0.1:9/a.zip"), builtIn));
    EXPECT_TRUE(ReleaseFeed::isAllowedArchiveAddress(QUrl("http://127.0.0.1:9/a.zip"), local));
    EXPECT_FALSE(ReleaseFeed::isAllowedArchiveAddress(QUrl("https://127.0.0.1:9/a.zip"), local));
    EXPECT_FALSE(ReleaseFeed::isAllowedArchiveAddress(QUrl("http://localhost:9/a.zip"), local));

    // A feed cannot steer the archive's file name into another folder.
    EXPECT_EQ(ReleaseFeed::fileNameVersion("1.0-rc_2+b"), "1.0-rc_2+b");
    EXPECT_EQ(ReleaseFeed::fileNameVersion("../../.bashrc x"), ".._.._.bashrc_x");
}
