#include "support/DownloadTry.h"

#include "support/CurlMulti.h"
#include "support/DownloadWords.h"
#include "support/Endpoints.h"
#include "support/NetworkProbe.h"
#include "support/TransferThread.h"

#include <curl/curl.h>

#include <algorithm>
#include <utility>

namespace {

using Stop = Download::Stop;

// Read from a connection in one go, and how often curl reads again in one
// call while the socket still holds more: a try ends at most this much past
// the moment it has taken too much.
constexpr long readSize = 16 * 1024;
constexpr qint64 oneCall = 101 * readSize;
// What is left of the allowance holds curl's own bound of a head (300 KB).
static_assert(Download::headAllowance - oneCall > 300 * 1024);
// Of a body kept whole, what grows as the bytes come; past it, the cap.
constexpr qsizetype growsToCap = 1024 * 1024;

// Whether a `Content-Encoding` or `Transfer-Encoding` value names a coding
// of the body the try did not ask for (chunks are only the framing).
bool unasked(QByteArrayView value, bool sink)
{
    static const QList<QByteArray> plain { "identity", "chunked" };
    const QList<QByteArray> codings = value.toByteArray().toLower().split(',');
    return std::ranges::any_of(codings, [&](const QByteArray& coding) {
        const QByteArray name = coding.trimmed();
        return !name.isEmpty() && !plain.contains(name) && (sink || !Download::decodes(name));
    });
}

// The try a transfer's callbacks speak for; none once it let go.
DownloadTry* owner(void* easy)
{
    char* transfer = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &transfer);
    return reinterpret_cast<DownloadTry*>(transfer);
}

} // namespace

DownloadTry::DownloadTry(Setup setup, std::shared_ptr<DownloadLink> link, CurlMulti& multi)
    : QObject(&multi)
    , m_setup(std::move(setup))
    , m_link(std::move(link))
    , m_multi(multi)
    , m_proxy(DownloadProxy::of(m_setup.url))
{
    m_link->transfer = this;
    for (QTimer* timer : { &m_idle, &m_overall })
        timer->setSingleShot(true);
    // Started once a limit, not again at each read: what is left of it is
    // waited for once more.
    connect(&m_idle, &QTimer::timeout, this, [this] {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_idleFrom + m_setup.idle - Clock::now());
        left.count() > 0 ? m_idle.start(left) : idleEnded();
    });
    connect(&m_overall, &QTimer::timeout, this, &DownloadTry::overallEnded);
    m_end.deadline = m_setup.deadline;
    bool wanted = false;
    {
        const std::lock_guard hold(m_link->lock);
        wanted = m_link->owner != nullptr;
    }
    if (wanted)
        send();
    else // let go before it began
        drop();
}

void DownloadTry::idleEnded()
{
    const QString limit = Download::durationText(m_setup.idle);
    const QString unanswered = QStringLiteral("No answer from %1 within %2.").arg(sender(), limit);
    if (m_taken > m_takenAtIdle) // a head or framing kept coming, but nothing of the body
        stop(Stop::idle, QStringLiteral("Nothing of the answer's body arrived for %1.").arg(limit));
    else if (m_taken > 0 && m_delivered)
        stop(Stop::idle, QStringLiteral("Nothing arrived for %1; the server stopped sending.").arg(limit));
    else if (m_delivered) // the server has the request and keeps silent: the callers' own idle words
        stop(Stop::idle, unanswered);
    else if (NetworkProbe::offline(connectsTo())) // a lookup with nobody to ask
        stop(Stop::unreachable, DownloadWords::cannotReach());
    else // never reached the server: the lookup or the connection hangs
        stop(Stop::unanswered, unanswered);
}

void DownloadTry::overallEnded()
{
    stop(Stop::overall,
         QStringLiteral("The answer did not come in whole within %1.").arg(Download::durationText(m_setup.overall)));
}

DownloadTry::~DownloadTry()
{
    if (m_link->transfer == this) // its thread ended before it did
        m_link->transfer = nullptr;
    release();
}

void DownloadTry::send()
{
    if (!m_proxy.usable) { // curl would fail it as a lookup or a connection, naming neither
        m_end.error = DownloadWords::proxySetting(m_proxy.variable);
        return finish();
    }
    CURL* easy = curl_easy_init();
    if (!easy) {
        m_end.error = QStringLiteral("The request could not be made.");
        return finish();
    }
    m_easy = easy;
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy, CURLOPT_URL, m_setup.url.toEncoded().constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // The proxy chosen here, or none: curl reads no variable of its own.
    curl_easy_setopt(easy, CURLOPT_PROXY, m_proxy.address.constData());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    curl_easy_setopt(easy, CURLOPT_USERAGENT, Endpoints::userAgent);
    if (m_setup.sink) // what waits for the sink is what came, never more
        curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    else
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, Download::askedCodings);
    // Redirects are followed by the download, each hop under its rule.
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // One request per connection, closed when it ends: nothing of a
    // connection outlives its request, or is read after it.
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    // The lookup and the connection within the idle limit, like the rest;
    // a lookup still under way is left to end by itself, never waited for.
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(m_setup.idle.count()));
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, readSize);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &DownloadTry::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, easy);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &DownloadTry::onHead);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, easy);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &DownloadTry::onSocket);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, easy);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &DownloadTry::onSending);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, easy);
    // curl shows what the connection gives only to its debug callback, and
    // only with its talk switched on (which goes nowhere else).
    curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &DownloadTry::onDebug);
    curl_easy_setopt(easy, CURLOPT_DEBUGDATA, easy);
    curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
    // Called after each read: where a try that took too much ends when no
    // body byte comes to end it, and where its limits hold within one call.
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &DownloadTry::onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, easy);
    curl_slist* headers = nullptr;
    if (m_setup.verb == "POST") {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(m_setup.upload.size()));
        curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, m_setup.upload.constData());
        if (!m_setup.contentType.isEmpty())
            headers = curl_slist_append(headers, ("Content-Type: " + m_setup.contentType).constData());
        // The body goes out with the request, not after a wait for leave.
        headers = curl_slist_append(headers, "Expect:");
    }
    restartIdle();
    if (m_end.deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*m_end.deadline - Clock::now());
        m_overall.start(std::max(left, std::chrono::milliseconds(0)));
    }
    m_multi.start(easy, headers, [this](int result, const QString& words) { ended(result, words); });
}

int DownloadTry::onSocket(void* easy, int, int)
{
    DownloadTry* transfer = owner(easy);
    if (transfer && !transfer->m_end.deadline) { // from the first try's sending on; a resend or a hop runs within it
        transfer->m_end.deadline = Clock::now() + transfer->m_setup.overall;
        transfer->m_overall.start(transfer->m_setup.overall);
    }
    return CURL_SOCKOPT_OK;
}

int DownloadTry::onSending(void* easy, char*, char*, int, int)
{
    if (DownloadTry* transfer = owner(easy))
        transfer->m_delivered = true;
    return CURL_PREREQFUNC_OK;
}

int DownloadTry::onDebug(void* easy, int type, char*, std::size_t size, void*)
{
    // What the connection gave (after TLS, before the chunks and the coding
    // are taken apart): the head's lines and every read of the body.
    DownloadTry* transfer = owner(easy);
    if (!transfer)
        return 0;
    // TLS that goes out through a SOCKS proxy is the server's: the proxy's part is done.
    if (type == CURLINFO_SSL_DATA_OUT && transfer->m_proxy.socks)
        transfer->m_tunnel = true;
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_DATA_IN)
        return 0;
    // Should curl's reading of a head ever part from the try's again, what
    // follows the head (a body, chunks, trailer lines) ends the answer
    // before it is decoded or kept unchecked.
    if (type == CURLINFO_DATA_IN && !transfer->m_headDone) {
        transfer->m_end.redirect.clear();
        transfer->m_end.error = transfer->transportWords(CURLE_WEIRD_SERVER_REPLY, QString()).text;
        transfer->finish();
        return 0;
    }
    transfer->count(size);
    return 0;
}

int DownloadTry::onProgress(void* easy, qint64, qint64, qint64, qint64)
{
    DownloadTry* transfer = owner(easy);
    return transfer && transfer->goesOn() ? 0 : 1; // a try that ended reads no more
}

bool DownloadTry::goesOn()
{
    bool letGo = TransferThread::closing();
    if (!letGo) {
        const std::lock_guard hold(m_link->lock);
        letGo = m_link->owner == nullptr;
    }
    if (letGo) {
        drop();
        return false;
    }
    const Clock::time_point now = Clock::now();
    const bool overallPassed = m_end.deadline && now >= *m_end.deadline;
    const bool idlePassed = m_idle.isActive() && now - m_idleFrom >= m_setup.idle;
    // After one call that outlasted both limits (TLS set up on a busy
    // machine), the limit reached first is the one that ended the try.
    if (idlePassed && (!overallPassed || m_idleFrom + m_setup.idle < *m_end.deadline))
        idleEnded();
    else if (overallPassed)
        overallEnded();
    return !m_over;
}

std::size_t DownloadTry::onHead(char* data, std::size_t size, std::size_t count, void* easy)
{
    DownloadTry* transfer = owner(easy);
    return transfer && transfer->headLine(QByteArrayView(data, qsizetype(size * count))) ? size * count : 0;
}

std::size_t DownloadTry::onBody(char* data, std::size_t size, std::size_t count, void* easy)
{
    DownloadTry* transfer = owner(easy);
    return transfer ? transfer->take(data, size * count) : CURL_WRITEFUNC_ERROR;
}

void DownloadTry::count(std::size_t size)
{
    m_taken += qint64(size);
    // Ended before the last call's reads could take it past the allowance.
    if (m_taken > m_setup.maxBytes + Download::headAllowance - oneCall)
        stopTooLarge();
}

bool DownloadTry::proxys() const { return !m_proxy.name.isEmpty() && !m_delivered && !m_tunnel; }

QString DownloadTry::sender() const
{
    return proxys() ? DownloadWords::proxy(m_proxy.name) : m_setup.url.host();
}

bool DownloadTry::proxyRefused()
{
    if (m_over || !m_easy || m_proxy.name.isEmpty())
        return false;
    long status = 0;
    if (proxys())
        curl_easy_getinfo(m_easy, CURLINFO_HTTP_CONNECTCODE, &status);
    else if (!m_proxy.socks && m_setup.url.scheme() == u"http") // an HTTP proxy answers in the server's stead
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
    if (status != 407)
        return false;
    m_end.stop = Stop::none;
    m_end.answered = true; // an answer, if the proxy's: the request is not sent again
    m_end.reason.clear();
    m_end.status = 0;
    m_end.redirect.clear();
    m_end.body = QByteArray();
    m_end.error = DownloadWords::proxyRefusal(m_proxy.name, m_proxy.user);
    m_end.detail.clear();
    finish();
    return true;
}

QString DownloadTry::connectsTo() const { return m_proxy.name.isEmpty() ? m_setup.url.host() : m_proxy.host; }

void DownloadTry::stopTooLarge() { stop(Stop::headTooLarge, DownloadWords::tooLarge(sender())); }

void DownloadTry::stopOverCap()
{
    stop(Stop::tooLarge, DownloadWords::largerThan(m_setup.url.host(), m_setup.maxBytes));
}

void DownloadTry::restartIdle()
{
    m_takenAtIdle = m_taken;
    m_idleFrom = Clock::now();
    if (!m_idle.isActive())
        m_idle.start(m_setup.idle);
}

bool DownloadTry::headLine(QByteArrayView line)
{
    // curl parses a whole read's lines within one call, a head up to its
    // bound, folded lines appended to the one before.
    if (m_over || !goesOn() || proxyRefused())
        return false;
    m_end.answered = true;
    if (proxys()) {
        // The proxy's answer to CONNECT, read a byte at a time within one
        // curl call; once its head is whole, what follows is the server's.
        m_proxyHead += line.size();
        if (m_proxyHead > Download::sideAllowance) {
            stopTooLarge();
            return false;
        }
        long status = 0;
        if (line.isEmpty() || line.front() == '\r' || line.front() == '\n')
            curl_easy_getinfo(m_easy, CURLINFO_HTTP_CONNECTCODE, &status);
        if (status >= 200 && status <= 299) {
            m_tunnel = true;
            m_takenAtIdle = m_taken; // nothing of the server's answer yet
        }
        return true;
    }
    if (m_headDone) {
        // A trailer line, which curl keeps at many times its size.
        m_trailers += line.size();
        if (m_trailers <= Download::sideAllowance)
            return true;
        stopTooLarge();
        return false;
    }
    const auto field = [&](QByteArrayView name) {
        return line.size() > name.size() && QByteArrayView(line.first(name.size())).compare(name, Qt::CaseInsensitive) == 0
            ? std::optional(line.sliced(name.size()).trimmed())
            : std::nullopt;
    };
    if (const auto location = field("location:"))
        m_end.redirect = QString::fromUtf8(*location);
    // Every line counts: curl stacks the codings of them all.
    for (const QByteArrayView name : { "content-encoding:", "transfer-encoding:" }) {
        if (const auto value = field(name))
            m_unasked = m_unasked || unasked(*value, m_setup.sink);
    }
    // curl ends a head at any line whose first byte is CR or LF ("\rX\n"
    // as well as "\r\n"), and so does the try: a reading of its own could
    // leave curl decoding a body none of the head's checks saw.
    if (!line.isEmpty() && line.front() != '\r' && line.front() != '\n')
        return true;
    long status = 0;
    curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200) { // an interim head, whose codings curl leaves aside: another head follows
        m_unasked = false;
        m_end.redirect.clear();
        return true;
    }
    m_headDone = true;
    m_end.status = int(status);
    if (status < 300 || status > 399 || m_unasked)
        m_end.redirect.clear();
    if (m_unasked) { // not decoded, or not by a decoder of bounded memory, a redirect's page too
        m_end.error = DownloadWords::notDecodable(m_setup.url.host());
        finish();
        return false;
    }
    curl_off_t announced = -1;
    curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    // A redirect's own page is counted as it comes, never kept.
    if (!m_end.redirect.isEmpty())
        return true;
    {
        const std::lock_guard hold(m_link->lock);
        m_link->status = m_end.status;
        m_link->announced = announced;
        tell(*m_link);
    }
    if (announced > m_setup.maxBytes) {
        stopOverCap();
        return false;
    }
    // Room for the whole body at once, not grown and copied piece by piece.
    if (!m_setup.sink && announced > 0)
        m_end.body.reserve(announced);
    return true;
}

std::size_t DownloadTry::take(const char* data, std::size_t size)
{
    if (m_over)
        return CURL_WRITEFUNC_ERROR;
    restartIdle(); // a piece of the body came
    // One read may unpack to the cap within one curl call.
    if (!goesOn())
        return CURL_WRITEFUNC_ERROR;
    const bool toSink = m_setup.sink && m_end.redirect.isEmpty();
    if (toSink) {
        // A sink slower than the network: the piece waits in curl, which
        // holds no more than one read of an answer it does not decode.
        const std::lock_guard hold(m_link->lock);
        if (m_link->pieces.size() >= Download::sinkAhead) {
            m_link->paused = m_paused = true;
            m_idle.stop();
            return CURL_WRITEFUNC_PAUSE;
        }
    }
    m_end.answered = true;
    m_end.bytes += qint64(size);
    if (m_end.bytes > m_setup.maxBytes) {
        stopOverCap();
        return CURL_WRITEFUNC_ERROR;
    }
    const QByteArrayView piece(data, qsizetype(size));
    if (!m_end.redirect.isEmpty())
        return size;
    if (!toSink) {
        // Past a megabyte, room for the cap at once: a body growing by
        // doubling, and copied as it grows, would hold up to three times
        // what it brought.
        if (m_end.body.size() + piece.size() > m_end.body.capacity() && m_end.body.size() >= growsToCap)
            m_end.body.reserve(m_setup.maxBytes);
        m_end.body.append(piece);
        return size;
    }
    const std::lock_guard hold(m_link->lock);
    m_link->pieces.append(piece);
    tell(*m_link);
    return size;
}

void DownloadTry::resume()
{
    if (!m_paused || !m_easy)
        return;
    m_paused = false;
    restartIdle();
    m_multi.resume(m_easy);
}

DownloadWords::Said DownloadTry::transportWords(int result, const QString& words) const
{
    DownloadWords::Facts facts { .result = result,
                                 .words = words,
                                 .host = m_setup.url.host(),
                                 .proxy = m_proxy.name,
                                 .proxyTls = m_proxy.tls,
                                 .proxyUser = m_proxy.user,
                                 .tunnel = m_tunnel,
                                 .answered = m_end.answered,
                                 .headDone = m_headDone,
                                 .delivered = m_delivered };
    if (m_easy) {
        curl_easy_getinfo(m_easy, CURLINFO_OS_ERRNO, &facts.osError);
        curl_easy_getinfo(m_easy, CURLINFO_HTTP_CONNECTCODE, &facts.connectCode);
        curl_easy_getinfo(m_easy, CURLINFO_SSL_VERIFYRESULT, &facts.verifyResult);
        curl_easy_getinfo(m_easy, CURLINFO_PROXY_SSL_VERIFYRESULT, &facts.proxyVerifyResult);
        curl_easy_getinfo(m_easy, CURLINFO_PROXY_ERROR, &facts.proxyError);
    }
    return DownloadWords::transport(facts);
}

void DownloadTry::ended(int result, const QString& words)
{
    if (proxyRefused())
        return;
    const DownloadWords::Said transport = result == CURLE_OK ? DownloadWords::Said {} : transportWords(result, words);
    if (!m_headDone) // only a final head that came whole sends the request on, never a proxy's
        m_end.redirect.clear();
    m_end.detail = transport.detail;
    if (result != CURLE_OK && m_end.redirect.isEmpty()) {
        const bool lookup = result == CURLE_COULDNT_RESOLVE_HOST || result == CURLE_COULDNT_RESOLVE_PROXY;
        const bool unsent = result == CURLE_OPERATION_TIMEDOUT && !m_delivered; // curl's bound of the connection
        const bool offline
            = (lookup || unsent || result == CURLE_COULDNT_CONNECT) && NetworkProbe::offline(connectsTo());
        if (offline || lookup) {
            m_end.stop = Stop::unreachable;
            m_end.reason = offline ? DownloadWords::cannotReach() : transport.text;
        } else if (unsent) {
            m_end.stop = Stop::unanswered;
            m_end.reason = QStringLiteral("No answer from %1 within %2.")
                               .arg(sender(), Download::durationText(m_setup.idle));
        } else {
            m_end.error = transport.text;
        }
    }
    finish();
}

void DownloadTry::stop(Download::Stop why, const QString& reason)
{
    if (m_over || proxyRefused())
        return;
    m_end.stop = why;
    m_end.reason = reason;
    m_end.body = QByteArray(); // no answer: what came of it goes at once, not with the end
    if (!m_end.redirect.isEmpty()) { // a redirect's page has no status of the answer
        m_end.redirect.clear();
        m_end.status = 0;
    }
    finish();
}

void DownloadTry::finish()
{
    m_over = true;
    m_link->transfer = nullptr;
    m_idle.stop();
    m_overall.stop();
    release();
    {
        const std::lock_guard hold(m_link->lock);
        m_link->end = std::move(m_end);
        tell(*m_link);
    }
    deleteLater();
}

void DownloadTry::tell(DownloadLink& link)
{
    // One call on its way at a time: it takes whatever came meanwhile.
    if (link.owner && !link.told) {
        link.told = true;
        QMetaObject::invokeMethod(link.owner, [owner = link.owner] { owner->drain(); }, Qt::QueuedConnection);
    }
}

void DownloadTry::drop()
{
    m_over = true;
    m_link->transfer = nullptr;
    release();
    deleteLater();
}

void DownloadTry::release()
{
    if (!m_easy)
        return;
    // Any callback still to come within curl's current call hears nothing.
    curl_easy_setopt(m_easy, CURLOPT_PRIVATE, nullptr);
    m_multi.drop(std::exchange(m_easy, nullptr));
}
