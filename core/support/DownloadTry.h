#pragma once

#include "support/Download.h"
#include "support/DownloadProxy.h"
#include "support/DownloadWords.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

class CurlMulti;
struct DownloadLink;

// One try of a download (its first sending, a resend, a redirect's hop): one
// curl transfer on the transfer thread, held there to the download's limits
// as its bytes arrive, and told to its download through their
// `DownloadLink`. Every byte the connection gives is counted before it is
// kept: the decoded body against the cap, and whatever came (head, chunk
// framing, trailers, body) against the cap and `Download::headAllowance`.
// A transfer curl decodes is never paused, since curl would keep decoding
// into a buffer of its own that no cap sees; one for a sink, which curl
// never decodes, pauses while `Download::sinkAhead` waits.
// The limits hold within one long curl call too, where no timer of this
// thread fires: curl calls back after each read (a proxy's answer to
// CONNECT is read a byte at a time, each read followed by that call), with
// each line of a head and with each piece of the body (one read may unpack
// to megabytes), and there the try looks at its limits, at the program's
// end and at whether its download let go.
class DownloadTry : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;
    struct Setup {
        QUrl url;
        QByteArray verb; // "GET" or "POST"
        QByteArray upload;
        QByteArray contentType;
        std::chrono::milliseconds idle;
        std::chrono::milliseconds overall;
        qint64 maxBytes;
        bool sink; // the body goes to the download piece by piece, not with the end
        std::optional<Clock::time_point> deadline; // of the overall limit, once known
    };
    // How the try ended; the download decides what follows.
    struct End {
        Download::Stop stop = Download::Stop::none; // a limit of the try, or a failed lookup or connection
        QString reason;
        QString error;    // the transport's failure, in words the user can read
        QString detail;   // the library's words for it, for the log
        int status = 0;   // of the final head
        QString redirect; // where the final head sends the request on
        bool answered = false;
        qint64 bytes = 0; // of the body
        QByteArray body;  // unless it went to the sink
        std::optional<Clock::time_point> deadline;
    };

    // Starts at once; on the transfer thread, a child of `multi`.
    DownloadTry(Setup setup, std::shared_ptr<DownloadLink> link, CurlMulti& multi);
    ~DownloadTry() override;

    // The download let go: ends here without a word.
    void drop();
    // The download took the pieces that waited.
    void resume();

private:
    void send();
    // Whether the try goes on, asked where curl calls back after a read,
    // with a line of a head or with a piece of the body.
    bool goesOn();
    void idleEnded();
    void overallEnded();
    void ended(int result, const QString& words);
    std::size_t take(const char* data, std::size_t size);
    bool headLine(QByteArrayView line);
    void count(std::size_t size);
    // What came is too large: the head or framing, or a proxy's answer.
    void stopTooLarge();
    void restartIdle();
    // The body announced or brought more than the cap.
    void stopOverCap();
    void stop(Download::Stop why, const QString& reason);
    void finish();
    void release();
    // Sends the download a call to take what came; with the link's lock held.
    static void tell(DownloadLink& link);
    DownloadWords::Said transportWords(int result, const QString& words) const;
    // Whether what comes is still the proxy's: the request has not gone out
    // through it, nor is a tunnel through it up.
    bool proxys() const;
    // Ends the try where the proxy answered 407 (to CONNECT, or in the
    // server's stead), however far its answer came: in the proxy's words.
    bool proxyRefused();
    // Who sent what came so far: the server, or the proxy.
    QString sender() const;
    // The host the connection goes to: the server's, or the proxy's.
    QString connectsTo() const;

    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* easy);
    static std::size_t onHead(char* data, std::size_t size, std::size_t count, void* easy);
    static int onSocket(void* easy, int socket, int purpose);
    static int onSending(void* easy, char*, char*, int, int);
    static int onDebug(void* easy, int type, char* data, std::size_t size, void*);
    static int onProgress(void* easy, qint64, qint64, qint64, qint64);

    Setup m_setup;
    std::shared_ptr<DownloadLink> m_link;
    CurlMulti& m_multi;
    DownloadProxy m_proxy;
    void* m_easy = nullptr;
    QTimer m_idle;
    QTimer m_overall;
    End m_end;
    bool m_over = false;          // it ended; callbacks still to come hear nothing
    bool m_delivered = false;     // the request reached its server
    bool m_headDone = false;      // the final head arrived whole
    bool m_unasked = false;       // the head names a coding the try did not ask for
    bool m_paused = false;        // waiting for the download to take its pieces
    qint64 m_taken = 0;           // of everything the connection gave
    qint64 m_takenAtIdle = 0;     // when the idle limit last started
    bool m_tunnel = false;        // the proxy's part is done: what comes is the server's
    qint64 m_proxyHead = 0;       // bytes of the proxy's answer to CONNECT
    qint64 m_trailers = 0;        // bytes of the trailer lines
    Clock::time_point m_idleFrom; // when the idle limit last started
};

// What a try and its download share across their two threads.
struct DownloadLink {
    std::mutex lock;
    // Everything below under the lock.
    Download* owner = nullptr; // told of news while set; cleared by the download as it goes
    bool told = false;         // news is on its way to the owner
    int status = 0;            // of the final head, once it came
    qint64 announced = -1;     // its length, once it came
    QByteArray pieces;         // of the body, for the sink
    bool paused = false;       // the try waits for the pieces to be taken
    std::optional<DownloadTry::End> end;
    // Only on the transfer thread: the try, while it runs.
    DownloadTry* transfer = nullptr;
};
