// The environment overrides that point the application at a local server
// must never be a way to send its requests anywhere else.
#include "support/Endpoints.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(Endpoints, OverridesAcceptOnlyTheLoopbackAddress)
{
    unsetenv("CORVANTA_FEEDS_BASE");
    EXPECT_EQ(Endpoints::swpcBase(), "https://services.swpc.noaa.gov");
    EXPECT_EQ(Endpoints::ctyBase(), "https://www.country-files.com");

    setenv("CORVANTA_FEEDS_BASE", "http://127.0.0.1:8123/", 1);
    EXPECT_EQ(Endpoints::swpcBase(), "http://127.0.0.1:8123");
    EXPECT_EQ(Endpoints::gfzBase(), "http://127.0.0.1:8123");
    EXPECT_EQ(Endpoints::zelqBase(), "http://127.0.0.1:8123");
    EXPECT_EQ(Endpoints::ctyBase(), "http://127.0.0.1:8123");
    EXPECT_EQ(Endpoints::makerBase(), "https://" + Endpoints::makerHost()); // a separate variable

    for (const char* refused : { "https://127.0.0.1:8123", "http://127.0.0.2:80", "http://localhost:8123",
                                 "http://127.0.0.1", "http://127.0.0.1:99999", "http://127.0.0.1:80/x",
                                 "http://127.0.0.1:80@evil.example", " http://127.0.0.1:80" }) {
        setenv("CORVANTA_FEEDS_BASE", refused, 1);
        EXPECT_EQ(Endpoints::swpcBase(), "https://services.swpc.noaa.gov") << refused;
    }
    unsetenv("CORVANTA_FEEDS_BASE");

    setenv("CORVANTA_MAKER_BASE", "http://127.0.0.1:9000", 1);
    EXPECT_EQ(Endpoints::makerBase(), "http://127.0.0.1:9000");
    unsetenv("CORVANTA_MAKER_BASE");
    EXPECT_EQ(Endpoints::makerHost(), "corvanta.example");
}
