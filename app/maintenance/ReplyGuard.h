#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>

class QNetworkReply;
class QNetworkRequest;

// Holds one network reply to limits of its own and says afterwards why it
// ended it: nothing arrived for `idle`, the answer was not in whole after
// `overall`, the answer announced or brought more than `maxBytes` (checked
// as the bytes arrive, before the network layer has buffered them all), or
// the server sent the request on to an address that `hopAllowed` refuses.
// The network layer's own time-out would end the reply as "Operation
// canceled", which tells the user nothing.
//
// A child of the reply, on its thread; gone with it.
class ReplyGuard : public QObject {
    Q_OBJECT
public:
    struct Limits {
        std::chrono::milliseconds idle { 0 };    // 0: no limit
        std::chrono::milliseconds overall { 0 }; // 0: no limit
        qint64 maxBytes = -1;                    // -1: no limit
        // Whether a redirect to this address may be followed; without a
        // rule none is.
        std::function<bool(const QUrl&)> hopAllowed;
        // The reason given for a refused redirect; one naming the address
        // when empty.
        QString refusedHop;
    };

    // What a guarded request needs before it is sent: redirects come to the
    // guard instead of being followed by the network layer, and the request
    // carries the application's user agent.
    static void prepare(QNetworkRequest& request);

    // A hop rule that follows redirects only to the scheme, host and port
    // of `origin`.
    static std::function<bool(const QUrl&)> sameSite(const QUrl& origin);

    // Starts guarding `reply` (sent from a prepared request).
    static ReplyGuard* watch(QNetworkReply* reply, const Limits& limits);

    // Why the guard ended the reply, in words for the user and the log;
    // empty when it did not.
    QString reason() const { return m_reason; }

    // Ends the reply now with `reason`.
    void cancel(const QString& reason);

    // "45 s", "0.5 s", "30 minutes".
    static QString durationText(std::chrono::milliseconds duration);

private:
    ReplyGuard(QNetworkReply* reply, const Limits& limits);
    void arrived();
    void checkSize(qint64 bytes);

    QNetworkReply* m_reply;
    Limits m_limits;
    QTimer m_idle;
    QTimer m_overall;
    bool m_anything = false;
    QString m_reason;
};
