#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>

#include <memory>

class QTcpServer;
class QThread;

// A small HTTP/1.1 server on 127.0.0.1 for tests: serves given bodies and
// status codes by path, can answer late, never, a byte at a time, hang up,
// or cut the connection in the middle of the body, and records
// every request it receives. One request per connection (it always answers
// with "Connection: close").
//
// It runs on the thread that calls listen(), or on a thread of its own
// (listen(true)) when the code under test must not share its event loop —
// a benchmark of the main thread's busy time, say. Routes and the request
// record may be used from any thread.
class HttpPeer : public QObject {
    Q_OBJECT
public:
    struct Response {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        QList<QPair<QByteArray, QByteArray>> headers; // extra header lines
        int delayMs = 0;                              // answer this late
        bool stall = false;                           // read the request, then never answer
        bool hangUp = false;                          // read the request, then close without a word
        int cutAfter = -1;                            // send the head and this many body bytes, then close
        int trickleMs = 0;                            // send the body a byte at a time, this many ms apart
        qint64 stallAfter = -1;                       // send this many bytes of the body, then go silent
        qint64 announcedLength = -1;                  // Content-Length to send instead of the body's size
        bool unannounced = false;                     // no Content-Length: the body ends when the connection does
    };
    struct Request {
        QByteArray method;
        QByteArray target;                     // path and query as sent
        QByteArray path;                       // the target without its query
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    HttpPeer();
    ~HttpPeer() override;

    // Starts listening on a free port; false when no port could be had.
    bool listen(bool ownThread = false);
    quint16 port() const { return m_port; }
    // "http://127.0.0.1:PORT", no trailing slash.
    QString base() const;

    // The answer for a path (query ignored); later calls replace it.
    void serve(const QByteArray& path, const Response& response);
    void serve(const QByteArray& path, int status, const QByteArray& body);
    // The answer for every path not served (404 with an empty body unless set).
    void serveOthers(const Response& response);

    QList<Request> requests() const;
    int count(const QByteArray& path) const;
    void clearRequests();

Q_SIGNALS:
    void requestReceived(const QByteArray& path);

private:
    void accept();
    Response responseFor(const QByteArray& path) const;

    mutable QMutex m_mutex;
    QHash<QByteArray, Response> m_routes;
    Response m_others;
    QList<Request> m_requests;
    QTcpServer* m_server = nullptr;
    std::unique_ptr<QThread> m_thread;
    quint16 m_port = 0;
};
