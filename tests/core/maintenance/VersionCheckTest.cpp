// Whether an update is offered hangs on the version comparison; whether it
// is installed, on the checksum text.
#include "maintenance/VersionCheck.h"

#include <gtest/gtest.h>

TEST(VersionCheck, ComparesDottedPiecesAsSignedNumbers)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        { "1.10", "1.9", true },                    // numbers, not text
        { "1.2", "1.2.0", false },                  // a missing piece is 0
        { "1.2.1", "1.2", true },                   //
        { "2.0b1", "2.0", false },                  // "0b1" is no number: 0
        { "1..2", "1.1", true },                    // the empty piece is dropped
        { "b2", "1", false },                       //
        { "1", "", true },                          // no pieces at all
        { "0", "-1", true },                        // signed
        { "+3", "2", true },                        //
        { "2", "2", false },                        // equal is never newer
        { "1. 2", "1.1", false },                   // a blank makes " 2" no number
        { "1.-", "1.0", false },                    // nor is a sign alone
        { "1.99999999999999999999", "1.0", false }, // nor is a number out of range
        { "0.1", "0", true },                       // "0": a build without version
    };
    for (const auto& [candidate, current, newer] : cases)
        EXPECT_EQ(isNewerVersion(candidate, current), newer) << candidate << " vs " << current;
}

TEST(VersionCheck, ChecksumIsLowerCaseSha256)
{
    EXPECT_EQ(sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}
