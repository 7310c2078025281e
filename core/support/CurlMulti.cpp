#include "support/CurlMulti.h"

#include <QSocketNotifier>
#include <QTimer>

#include <curl/curl.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <utility>

CurlMulti::CurlMulti()
    : m_multi(curl_multi_init())
    , m_timer(new QTimer(this))
{
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlMulti::onSocket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlMulti::onTimer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    // One request per connection: nothing of another request shares a
    // connection whose request ends, so that its end can close it at once.
    curl_multi_setopt(m_multi, CURLMOPT_PIPELINING, long(CURLPIPE_NOTHING));
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlMulti::~CurlMulti()
{
    // All shut first (the dropped ones were): none waits for another's close.
    for (const Transfer* transfer : std::as_const(m_transfers))
        shut(*transfer);
    for (const auto& [easy, transfer] : std::as_const(m_dropped))
        release(easy, transfer);
    for (auto transfer = m_transfers.cbegin(); transfer != m_transfers.cend(); ++transfer)
        release(transfer.key(), transfer.value());
    curl_multi_cleanup(m_multi);
}

void CurlMulti::start(void* easy, curl_slist* headers, Ended ended)
{
    static_assert(sizeof Transfer::words >= CURL_ERROR_SIZE);
    auto* transfer = new Transfer;
    transfer->ended = std::move(ended);
    transfer->headers = headers;
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->words);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &CurlMulti::onOpenSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, transfer);
    m_transfers.insert(easy, transfer);
    // Sets curl's timer to run at once: the transfer starts on the next turn.
    curl_multi_add_handle(m_multi, easy);
}

void CurlMulti::drop(void* easy)
{
    Transfer* transfer = m_transfers.take(easy);
    if (transfer)
        shut(*transfer);
    if (m_depth > 0)
        m_dropped.append({ easy, transfer });
    else
        release(easy, transfer);
}

void CurlMulti::release(void* easy, Transfer* transfer)
{
    // A transfer under way loses its connection here.
    curl_multi_remove_handle(m_multi, easy);
    curl_easy_cleanup(easy);
    if (transfer)
        curl_slist_free_all(transfer->headers);
    delete transfer;
}

int CurlMulti::onOpenSocket(void* transfer, int, curl_sockaddr* address)
{
    // Called only within the transfer's own calls into curl, while it runs.
    // Not handed down to the programs this one starts, from the start.
    const int socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    struct stat status {};
    if (socket >= 0 && ::fstat(socket, &status) == 0)
        static_cast<Transfer*>(transfer)->connections.append({ socket, quint64(status.st_ino) });
    return socket >= 0 ? socket : CURL_SOCKET_BAD;
}

void CurlMulti::shut(const Transfer& transfer)
{
    // The connection is reset, as a close with the answer still unread
    // resets it; the socket, left with none, stays curl's to close. A
    // shutdown would not do: curl reads on to the end it makes, and its
    // close then leaves a peer that keeps sending waiting for good.
    sockaddr none {};
    none.sa_family = AF_UNSPEC;
    for (const Connection& connection : transfer.connections) {
        struct stat status {};
        if (::fstat(connection.socket, &status) == 0 && S_ISSOCK(status.st_mode)
            && quint64(status.st_ino) == connection.inode)
            ::connect(connection.socket, &none, sizeof none);
    }
}

int CurlMulti::onSocket(void*, int socket, int what, void* self, void*)
{
    static_cast<CurlMulti*>(self)->watch(socket, what);
    return 0;
}

int CurlMulti::onTimer(void*, long timeoutMs, void* self)
{
    QTimer* timer = static_cast<CurlMulti*>(self)->m_timer;
    if (timeoutMs < 0)
        timer->stop();
    else
        timer->start(int(std::min<long>(timeoutMs, 24L * 3600 * 1000)));
    return 0;
}

void CurlMulti::watch(int socket, int what)
{
    Sockets& sockets = m_sockets[socket];
    if (!sockets.read) {
        const auto notifier = [this, socket](QSocketNotifier::Type type, int events) {
            auto* notifier = new QSocketNotifier(type, this);
            notifier->setSocket(socket);
            connect(notifier, &QSocketNotifier::activated, this, [this, socket, events] { act(socket, events); });
            return notifier;
        };
        sockets.read = notifier(QSocketNotifier::Read, CURL_CSELECT_IN);
        sockets.write = notifier(QSocketNotifier::Write, CURL_CSELECT_OUT);
    }
    sockets.read->setEnabled(what == CURL_POLL_IN || what == CURL_POLL_INOUT);
    sockets.write->setEnabled(what == CURL_POLL_OUT || what == CURL_POLL_INOUT);
}

void CurlMulti::act(int socket, int events)
{
    int running = 0;
    call([&] { curl_multi_socket_action(m_multi, curl_socket_t(socket), events, &running); });
}

void CurlMulti::resume(void* easy)
{
    if (m_transfers.contains(easy))
        call([easy] { curl_easy_pause(easy, CURLPAUSE_CONT); });
}

void CurlMulti::call(const std::function<void()>& intoCurl)
{
    ++m_depth;
    intoCurl();
    --m_depth;
    for (const auto& [easy, transfer] : std::exchange(m_dropped, {}))
        release(easy, transfer);
    int left = 0;
    while (const CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        const int result = message->data.result;
        if (const Transfer* transfer = m_transfers.value(message->easy_handle)) {
            // The handler drops the transfer.
            const Ended ended = transfer->ended;
            ended(result, QString::fromUtf8(transfer->words).trimmed());
        }
    }
}
