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

// One HTTP request of the program, held to three limits and a rule for
// redirects, and afterwards saying which of them ended it:
// - idle: nothing arrived for this long. Counted from when the request is
//   on its way to the server (its connection being made, or the request
//   written), never while it waits in the network layer's queue for a
//   connection to a busy host: only a server that was asked can fail it.
// - overall: the answer was not in whole this long after the start, resends
//   and the wait in the queue included.
// - maxBytes: the answer announced or brought more, checked as the bytes
//   arrive, before anything has kept them.
// - hopAllowed: a redirect is followed only to an address this allows; by
//   default to http(s) addresses that do not leave https for http.
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
        none,       // the reply ended by itself
        idle,       // nothing arrived for `idle`
        overall,    // not in whole within `overall`
        tooLarge,   // more than `maxBytes`
        refusedHop, // a redirect `hopAllowed` refused
        sink,       // the sink refused a piece
        cancelled,  // cancel()
    };

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
        // arrived: Qt fails the requests queued for a host when another
        // request's connection to it breaks, and nothing of theirs was
        // answered. Only for requests that may safely be asked twice.
        bool resendUnanswered = false;
    };

    struct Outcome {
        Stop stop = Stop::none;
        QString reason;            // why the download ended it, for the user and the log; empty for none
        std::optional<int> status; // the HTTP status, when an answer came
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
    void take();
    void checkSize(qint64 bytes);
    void stop(Stop why, const QString& reason);
    void ended();

    QNetworkAccessManager& m_network;
    QNetworkRequest m_request;
    QByteArray m_verb;
    QByteArray m_upload;
    Limits m_limits;
    Sink m_sink;
    Done m_done;
    QPointer<QNetworkReply> m_reply; // the try under way
    QTimer m_idle;
    QTimer m_overall;
    Outcome m_outcome;
    bool m_answered = false; // anything of the try's answer arrived
    bool m_resent = false;
};
