// The test peer every feed, report and update test relies on: what it
// serves must reach a real download unchanged.
#include "support/DownloadFailure.h"
#include "support/HttpPeer.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

namespace {

Download::Outcome fetch(const QString& url, int idleMs = 5000)
{
    Download::Outcome got;
    bool finished = false;
    auto* download = new Download({ QUrl(url) }, { std::chrono::milliseconds(idleMs), std::chrono::minutes(1), 1000 }, nullptr);
    download->get([&](const Download::Outcome& outcome) { got = outcome, finished = true; });
    EXPECT_TRUE(waitUntil([&] { return finished; }));
    return got;
}

} // namespace

TEST(HttpPeer, ServesRoutesAndRecordsRequestsOnEitherThread)
{
    for (const bool ownThread : { false, true }) {
        HttpPeer peer;
        ASSERT_TRUE(peer.listen(ownThread));
        peer.serve("/a.json", 200, "[1,2]");
        peer.serve("/down", 503, "busy");

        const Download::Outcome a = fetch(peer.base() + "/a.json?x=1");
        EXPECT_EQ(a.status, 200);
        EXPECT_EQ(a.body, "[1,2]");
        EXPECT_EQ(fetch(peer.base() + "/down").status, 503);
        EXPECT_EQ(fetch(peer.base() + "/nothing").status, 404);
        ASSERT_EQ(peer.requests().size(), 3);
        EXPECT_EQ(peer.requests()[0].target, "/a.json?x=1");
        EXPECT_EQ(peer.requests()[0].headers.value("user-agent"), "Corvanta/0.9 (Linux)");
        EXPECT_EQ(peer.count("/a.json"), 1);
    }
}

TEST(HttpPeer, StallsAndHangsUpWhenAsked)
{
    HttpPeer peer;
    ASSERT_TRUE(peer.listen());
    HttpPeer::Response stall;
    stall.stall = true;
    peer.serve("/stall", stall);
    HttpPeer::Response hangUp;
    hangUp.hangUp = true;
    peer.serve("/hangup", hangUp);

    EXPECT_EQ(fetch(peer.base() + "/stall", 300).reason, "No answer from 127.0.0.1 within 300 ms.");
    EXPECT_EQ(DownloadFailure::of(fetch(peer.base() + "/hangup")), "127.0.0.1 closed the connection before answering.");
}
