// The test peer every feed, report and update test relies on: what it
// serves must reach a real QNetworkAccessManager unchanged.
#include "support/HttpPeer.h"
#include "support/WaitUntil.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <gtest/gtest.h>

namespace {

struct Got {
    int status = 0;
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    bool finished = false;
};

Got fetch(QNetworkAccessManager& network, const QString& url, int timeoutMs = 5000)
{
    Got got;
    QNetworkRequest request { QUrl(url) };
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply = network.get(request);
    QObject::connect(reply, &QNetworkReply::finished, [&] {
        got.finished = true;
        got.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        got.body = reply->readAll();
        got.error = reply->error();
    });
    waitUntil([&] { return got.finished; }, timeoutMs + 2000);
    reply->deleteLater();
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
        QNetworkAccessManager network;

        const Got a = fetch(network, peer.base() + "/a.json?x=1");
        EXPECT_EQ(a.status, 200);
        EXPECT_EQ(a.body, "[1,2]");
        EXPECT_EQ(fetch(network, peer.base() + "/down").status, 503);
        EXPECT_EQ(fetch(network, peer.base() + "/nothing").status, 404);
        ASSERT_EQ(peer.requests().size(), 3);
        EXPECT_EQ(peer.requests()[0].target, "/a.json?x=1");
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
    QNetworkAccessManager network;

    const Got stalled = fetch(network, peer.base() + "/stall", 300);
    EXPECT_TRUE(stalled.finished);
    EXPECT_EQ(stalled.error, QNetworkReply::OperationCanceledError); // the transfer time-out
    const Got cut = fetch(network, peer.base() + "/hangup");
    EXPECT_NE(cut.error, QNetworkReply::NoError);
}
