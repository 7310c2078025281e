#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class QNetworkAccessManager;

// One HTTP request of the program, held to its limits and a rule for
// redirects, and afterwards saying which of them ended it:
// - idle: nothing came for this long. Counted from the call, so a host-name
//   lookup or a connection that never answers is bounded by it; not while
//   the request stands in the network layer's line behind the requests
//   that hold every connection to a busy host (that wait is bounded on its
//   own, by the length of `overall`, and says so: the server was not asked).
// - overall: the answer was not in whole this long after the request went
//   on its way to the server; a resend and redirects count within it.
// - maxBytes: the answer announced or brought more, checked as the bytes
//   arrive. The network layer reads ahead at most `readAhead` bytes of it,
//   so memory grows by little more than the cap whatever a server sends.
// - hopAllowed: a redirect is followed only to an address this allows; by
//   default to http(s) addresses that do not leave https for http. Every
//   hop is checked, and more than `maxHops` of them end the request.
// A status 1xx, or a request that ended with no status and no error, is no
// answer; nor is an empty body to a GET. A host-name lookup that failed ends
// every request of the same network manager waiting for that host (the
// network layer may tell only one of them). With no network interface up but
// the loopback one, a request for another host ends at once, and one that
// failed says that the network cannot be reached.
// A POST goes out once: the network layer may not send its body again.
// The network layer's own time-out runs from the moment the request is
// queued, and ends the reply as "Operation canceled", which tells nobody
// anything.
//
// The body is kept for the outcome, unless a sink takes each piece as it
// arrives (a large file written to disk as it comes). The request goes out
// with the application's user agent. The outcome is handed over once, on a
// later turn of the event loop, and the download is gone afterwards.
// A child of the given parent, on its thread: destroyed with it (or
// before), a download under way ends without a word.
class Download : public QObject {
    Q_OBJECT
public:
    enum class Stop {
        none,        // the reply ended by itself, with an answer or a transport error
        idle,        // the server had the request, then nothing (more) arrived for `idle`
        unanswered,  // the request did not reach its host within `idle` (lookup or connection hanging)
        queued,      // still in the line for a connection to the host after `overall`
        overall,     // not in whole within `overall` of being sent
        tooLarge,    // more than `maxBytes`
        refusedHop,  // a redirect `hopAllowed` refused
        tooManyHops, // more than `maxHops` redirects, or a loop
        noAnswer,    // a status 1xx, no status at all, or an empty body to a GET
        unreachable, // the host's name could not be looked up, or no network is up
        sink,        // the sink refused a piece
        cancelled,   // cancel()
    };
    static constexpr int maxHops = 5;
    static constexpr qint64 readAhead = 64 * 1024;

    // Every request has all three limits (the line's bound is `overall`).
    struct Limits {
        Limits(std::chrono::milliseconds idle, std::chrono::milliseconds overall, qint64 maxBytes,
               std::function<bool(const QUrl&)> hopAllowed = {})
            : idle(idle)
            , overall(overall)
            , maxBytes(maxBytes)
            , hopAllowed(std::move(hopAllowed))
        {
        }
        std::chrono::milliseconds idle;
        std::chrono::milliseconds overall;
        qint64 maxBytes;
        std::function<bool(const QUrl&)> hopAllowed;
        // Sent once more when it failed before any byte of its answer
        // arrived: Qt fails the requests queued for a host when another
        // request's connection to it breaks, and nothing of theirs was
        // answered. Only for GETs.
        bool resendUnanswered = false;
    };

    struct Outcome {
        Stop stop = Stop::none;
        QString reason;            // why the download ended it, for the user and the log; empty for none
        std::optional<int> status; // the HTTP status of the last hop's answer (none for a redirect)
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        QString errorString;
        QByteArray body;  // unless a sink took it
        qint64 bytes = 0; // of the body, received
    };
    using Done = std::function<void(const Outcome&)>;
    // Takes one piece of the body; a non-empty text ends the download with
    // it as the reason.
    using Sink = std::function<QString(QByteArrayView piece)>;

    Download(QNetworkAccessManager& network, const QNetworkRequest& request, const Limits& limits, QObject* parent);
    ~Download() override;

    void setSink(Sink sink) { m_sink = std::move(sink); }
    void get(Done done);
    void post(const QByteArray& body, Done done);

    // Ends the download now with `reason`.
    void cancel(const QString& reason) { stop(Stop::cancelled, reason); }

    // While it runs: the status and the announced length of the answer
    // (none, -1 before or without them).
    std::optional<int> status() const;
    qint64 announcedBytes() const;

    // A redirect rule that follows only to the scheme, host and port of
    // `origin`.
    static std::function<bool(const QUrl&)> sameSite(const QUrl& origin);
    // "45 s", "0.5 s", "30 minutes".
    static QString durationText(std::chrono::milliseconds duration);

private:
    void send();
    void onItsWay();
    // Another download of this manager to the same host: one line of connections.
    bool sharesLineWith(const Download& other) const;
    bool inLine() const;
    bool follow(const QUrl& to, int status);
    void take();
    void checkSize(qint64 bytes);
    void stop(Stop why, const QString& reason);
    void ended();
    void handOver();

    QNetworkAccessManager& m_network;
    QNetworkRequest m_request;
    QByteArray m_verb;
    QByteArray m_upload;
    Limits m_limits;
    Sink m_sink;
    Done m_done;
    QPointer<QNetworkReply> m_reply; // the try under way
    QTimer m_idle;
    QTimer m_queued;
    QTimer m_overall;
    Outcome m_outcome;
    bool m_sent = false;     // the try left the network layer's line
    bool m_delivered = false; // the try's request reached its server
    bool m_answered = false; // anything of the try's answer arrived
    bool m_resent = false;
    int m_hops = 0;
};
