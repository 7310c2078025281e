#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

struct DownloadLink;

// One HTTP request of the program, held to its limits and a rule for
// redirects, and afterwards saying which of them ended it:
// - idle: nothing of the body came for this long. Counted from the call, so
//   a host-name lookup or a connection that never answers is bounded by it;
//   only bytes of the body count as something, never those of the head or
//   of a chunked body's framing, which a server could send without end.
// - overall: the answer was not in whole this long after the request went
//   on its way to the server; a resend and redirects count within it.
// - maxBytes: the answer announced or brought more, counted as the body
//   arrives decoded (a small compressed body may unpack to gigabytes).
// - hopAllowed: a redirect is followed only to an http(s) address this
//   allows; by default to those that do not leave https for http. Every
//   hop is checked, and more than `maxHops` of them end the request.
// A status 1xx, or a request that ended with no status and no error, is no
// answer; nor is an empty body to a GET. After a failed lookup or
// connection, the outcome says that the network cannot be reached where no
// interface but the loopback one is up.
// A POST goes out once, never again.
//
// libcurl does the HTTP on the transfer thread (`TransferThread`), one
// connection per request: whenever a request ends, for whatever reason, its
// connection is closed at once and nothing more is read from it. There the
// bytes are read, decoded and counted as they come, each try of the request
// (`DownloadTry`) held to its limits, and whatever the connection gives
// (head, chunk framing, trailers, body) ends the request once it passes the
// cap by more than `headAllowance`; so nothing the server sends keeps the
// caller's thread busy. curl bounds the head of an answer, the try its
// trailer lines and a proxy's answer to CONNECT (`sideAllowance`). The
// proxy variables a user sets (http_proxy, https_proxy, no_proxy) are read
// as curl reads them (`DownloadProxy`). A failure is told in the words of
// `DownloadWords`, whose it was: whatever fails at a proxy, or before its
// answer came whole, is the proxy's. A proxy's 407 is its failure, never an
// answer's status: the request ends where it comes, however far its answer
// got. Nothing is printed on any path.
//
// The body is kept for the outcome, unless a sink takes each piece as it
// arrives (a large file written to disk as it comes). A request asks for
// the codings whose decoders keep little (gzip, deflate, br), and one with
// a sink for none, so that nothing of it waits beyond `sinkAhead`; an
// answer in a coding not asked for ends as not decodable.
// The request goes out with the application's user agent. The outcome is
// handed over once, on a later turn of the event loop, and the download is
// gone afterwards.
// A child of the given parent, on its thread: destroyed with it (or
// before), a download under way ends without a word.
class Download : public QObject {
    Q_OBJECT
public:
    enum class Stop {
        none,        // the transfer ended by itself, with an answer or a transport error
        idle,        // the server had the request, then nothing (more) arrived for `idle`
        unanswered,  // the request did not reach its host within `idle` (lookup or connection hanging)
        overall,     // not in whole within `overall` of being sent
        tooLarge,    // more than `maxBytes` of body
        headTooLarge, // a head, framing or trailer lines past their bounds, or a proxy's answer past its own
        refusedHop,  // a redirect `hopAllowed` refused
        tooManyHops, // more than `maxHops` redirects, or a loop
        noAnswer,    // a status 1xx, no status at all, or an empty body to a GET
        unreachable, // the host's name could not be looked up, or no network is up
        sink,        // the sink refused a piece
        cancelled,   // cancel()
    };
    static constexpr int maxHops = 5;
    // Beyond the cap, what a request takes at most from its connection for
    // the head, the framing and the reads under way when it ends.
    static constexpr qint64 headAllowance = 2 * 1024 * 1024;
    // Of the body, what waits for the sink at most; the transfer pauses
    // meanwhile.
    static constexpr qint64 sinkAhead = 1024 * 1024;
    // What a request takes at most of the trailer lines after the body,
    // which curl keeps at many times their size, and of a proxy's answer to
    // CONNECT, which curl reads a byte at a time within one call.
    static constexpr qint64 sideAllowance = 64 * 1024;
    // The codings a request without a sink asks for, the only ones it lets
    // curl decode: their decoders keep at most a 16 MB window (brotli's),
    // where curl's zstd decoder takes whatever window a frame asks for, up
    // to 128 MB.
    static constexpr const char* askedCodings = "gzip, deflate, br";
    // Whether curl decodes a coding (named in lower case) for a request that
    // asks for `askedCodings`: one named there, or gzip's older name.
    static bool decodes(QByteArrayView coding);

    // Every request has all three limits.
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
        // arrived (a connection broken before the server answered). Only for
        // GETs.
        bool resendUnanswered = false;
    };

    // What goes out: the address, and for a POST the type of its body.
    struct Request {
        QUrl url;
        QByteArray contentType = {};
    };

    struct Outcome {
        Stop stop = Stop::none;
        QString reason;            // why the download ended it, for the user and the log; empty for none
        std::optional<int> status; // the HTTP status of the last hop's answer (none for a redirect)
        QString error;             // the transport's failure (no HTTP status is one); empty for none
        QString detail;            // the library's words for that failure, for the log only; often empty
        QByteArray body;           // unless a sink took it
        qint64 bytes = 0;          // of the body, received
    };
    using Done = std::function<void(const Outcome&)>;
    // Takes one piece of the body; a non-empty text ends the download with
    // it as the reason.
    using Sink = std::function<QString(QByteArrayView piece)>;

    Download(Request request, const Limits& limits, QObject* parent);
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
    // Where a redirect from `from` to `location` goes under `rule` (the
    // default one when empty): the address to send, or none when refused.
    // The rule judges the address as Qt reads it; the hop is refused too
    // where curl would read another scheme, host or port from its text.
    static std::optional<QUrl> hop(const QUrl& from, const QString& location,
                                   const std::function<bool(const QUrl&)>& rule);
    // Readies the HTTP library: called once in main(), before any thread starts.
    static void initialise();
    // "45 s", "500 ms", "1.5 s", "30 minutes".
    static QString durationText(std::chrono::milliseconds duration);

private:
    friend class DownloadTry;
    void send();
    void drain();
    bool follow(const QString& to, int status);
    void stop(Stop why, const QString& reason);
    void release();
    void handOver();

    Request m_request;
    QByteArray m_verb;
    QByteArray m_upload;
    Limits m_limits;
    Sink m_sink;
    Done m_done;
    std::shared_ptr<DownloadLink> m_link; // the try under way
    std::optional<std::chrono::steady_clock::time_point> m_deadline; // of the overall limit
    Outcome m_outcome;
    int m_status = 0;       // of the try's final head, once it came
    qint64 m_announced = -1;
    bool m_resent = false;
    int m_hops = 0;
};
