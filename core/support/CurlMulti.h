#pragma once

#include <QHash>
#include <QObject>

#include <functional>

class QSocketNotifier;
class QTimer;
struct curl_slist;

// The HTTP transfers of the transfer thread, run by libcurl's multi
// interface on that thread's event loop: a socket notifier for each socket
// curl names, one timer for curl's time-outs, no thread per request and no
// call that blocks. It lives on the transfer thread (`TransferThread`) and
// is used only there.
//
// A transfer is a curl easy handle whose CURLOPT_PRIVATE names who hears of
// its end. curl's callbacks run inside this object's calls into curl, where
// no transfer may be taken out; `drop` waits for the call to return.
class CurlMulti : public QObject {
    Q_OBJECT
public:
    // Hears that a transfer ended by itself, with curl's result code and its
    // words for a failure; called outside every curl call, so the transfer
    // may be dropped or another started from it.
    using Ended = std::function<void(int result, const QString& words)>;

    CurlMulti();
    ~CurlMulti() override;

    // Runs a transfer set up by the caller; `headers`, which it sends, is
    // freed with the transfer. Never called from inside a curl callback.
    void start(void* easy, curl_slist* headers, Ended ended);
    // Lets a transfer that paused its own reading go on.
    void resume(void* easy);
    // Takes the transfer out and frees its handle; at the end of the
    // current curl call when inside one. Its connection ends at once, inside
    // a call too: the peer sees it reset, and nothing more is sent or read
    // on it, however long curl then takes to close it (a TLS connection
    // whose handshake has not begun, curl begins before closing, reading
    // the system's certificates first).
    void drop(void* easy);

private:
    // A socket curl opened for a transfer, known by its inode as well: its
    // number may have been given out again once curl closed it.
    struct Connection {
        int socket = -1;
        quint64 inode = 0;
    };
    struct Transfer {
        Ended ended;
        curl_slist* headers = nullptr;
        char words[256] = {}; // curl's error buffer
        QList<Connection> connections;
    };
    static int onOpenSocket(void* transfer, int purpose, struct curl_sockaddr* address);
    static void shut(const Transfer& transfer);
    struct Sockets {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };
    static int onSocket(void* easy, int socket, int what, void* self, void*);
    static int onTimer(void* multi, long timeoutMs, void* self);
    void watch(int socket, int what);
    void act(int socket, int events);
    // Calls into curl, then frees what was dropped meanwhile and tells the
    // ends of transfers.
    void call(const std::function<void()>& intoCurl);
    void release(void* easy, Transfer* transfer);

    void* m_multi;
    QTimer* m_timer; // a child, so that it moves to the transfer thread with this
    // Kept for each socket number curl has named, switched off while curl
    // has no use for it: a number the system gives out again finds its
    // notifiers ready.
    QHash<int, Sockets> m_sockets;
    QHash<void*, Transfer*> m_transfers;
    QList<QPair<void*, Transfer*>> m_dropped; // asked to go while curl was busy
    int m_depth = 0;                          // curl calls under way
};
