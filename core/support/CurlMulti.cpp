#include "support/CurlMulti.h"

#include <QSocketNotifier>

#include <curl/curl.h>

#include <mutex>
#include <utility>

CurlMulti::CurlMulti()
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_multi = curl_multi_init();
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlMulti::onSocket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlMulti::onTimer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    // One request per connection: nothing of another request shares a
    // connection whose request ends, so that its end can close it at once.
    curl_multi_setopt(m_multi, CURLMOPT_PIPELINING, long(CURLPIPE_NOTHING));
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
    m_starter.setSingleShot(true);
    m_starter.setInterval(0);
    connect(&m_starter, &QTimer::timeout, this, &CurlMulti::startNext);
}

CurlMulti::~CurlMulti()
{
    for (const auto& [easy, transfer] : std::as_const(m_dropped))
        release(easy, transfer);
    for (auto transfer = m_transfers.cbegin(); transfer != m_transfers.cend(); ++transfer)
        release(transfer.key(), transfer.value());
    curl_multi_cleanup(m_multi);
}

std::shared_ptr<CurlMulti> CurlMulti::ofThisThread()
{
    thread_local std::weak_ptr<CurlMulti> current;
    std::shared_ptr<CurlMulti> multi = current.lock();
    if (!multi) {
        multi = std::shared_ptr<CurlMulti>(new CurlMulti);
        current = multi;
    }
    return multi;
}

void CurlMulti::start(void* easy, curl_slist* headers, Ended ended)
{
    static_assert(sizeof Transfer::words >= CURL_ERROR_SIZE);
    auto* transfer = new Transfer { std::move(ended), headers };
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->words);
    m_transfers.insert(easy, transfer);
    // One transfer handed to curl per turn of the event loop: making a
    // connection is the costliest step, and a refresh asks for a dozen at once.
    m_waiting.append(easy);
    if (!m_starter.isActive())
        m_starter.start();
}

void CurlMulti::startNext()
{
    if (!m_waiting.isEmpty()) // sets curl's timer to run at once: it starts on the next turn
        curl_multi_add_handle(m_multi, m_waiting.takeFirst());
    if (!m_waiting.isEmpty())
        m_starter.start();
}

void CurlMulti::drop(void* easy)
{
    m_waiting.removeOne(easy);
    Transfer* transfer = m_transfers.take(easy);
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

int CurlMulti::onSocket(void*, int socket, int what, void* self, void*)
{
    static_cast<CurlMulti*>(self)->watch(socket, what);
    return 0;
}

int CurlMulti::onTimer(void*, long timeoutMs, void* self)
{
    QTimer& timer = static_cast<CurlMulti*>(self)->m_timer;
    if (timeoutMs < 0)
        timer.stop();
    else
        timer.start(int(std::min<long>(timeoutMs, 24L * 3600 * 1000)));
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
    // A transfer's end may let go of the last holder of this object.
    const std::shared_ptr<CurlMulti> keep = shared_from_this();
    ++m_depth;
    ++m_calls;
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
            // The handler drops the transfer, and this with it.
            const Ended ended = transfer->ended;
            ended(result, QString::fromUtf8(transfer->words).trimmed());
        }
    }
}
