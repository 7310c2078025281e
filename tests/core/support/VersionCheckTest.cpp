// Whether an update is offered hangs on the version comparison; whether it
// is installed, on the checksum text.
#include "support/VersionCheck.h"

#include <gtest/gtest.h>

TEST(VersionCheck, ComparesDottedPiecesAsSignedNumbers)
{
    struct Case {
        const char* candidate;
        const char* current;
        bool newer;
    };
    const Case cases[] = {
        { "1.10", "1.9", true },                    // numbers, not text
        { "1.2", "1.2.0", false },                  // a missing piece is 0
        { "1.2.0", "1.2", false },                  //
        { "1.2.1", "1.2", true },                   //
        { "2.0b1", "2.0", false },                  // "0b1" is no number: 0
        { "1..2", "1.1", true },                    // the empty piece is dropped
        { "b2", "1", false },                       //
        { "1", "", true },                          // no pieces at all
        { "0", "-1", true },                        // signed
        { "+3", "2", true },                        // a plus sign reads too
        { "2", "2", false },                        // equal is never newer
        { "0.9.1", "0.9.0", true },                 //
        { "0.8.9", "0.9.0", false },                //
        { "1. 2", "1.1", false },                   // " 2" has a blank: 0
        { "1.-", "1.0", false },                    // a sign alone: 0
        { "1.99999999999999999999", "1.0", false }, // out of range: 0
        { "9223372036854775807", "9223372036854775806", true },
        { "0.1", "0", true }, // "0" stands for a build without version
        { "0.0", "0", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(isNewerVersion(c.candidate, c.current), c.newer) << c.candidate << " vs " << c.current;
}

TEST(VersionCheck, ChecksumIsLowerCaseSha256)
{
    EXPECT_EQ(sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const QByteArray million(1000000, 'a');
    EXPECT_EQ(sha256Hex(million), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}
