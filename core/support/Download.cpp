#include "support/Download.h"

#include "support/ByteSize.h"
#include "support/CurlMulti.h"
#include "support/Endpoints.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <curl/curl.h>
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace {

const QString cannotReach = QStringLiteral("The network cannot be reached.");

bool isWeb(const QUrl& url) { return url.scheme() == u"http" || url.scheme() == u"https"; }

// Whether `host` is out of reach for want of a network: it is not this
// machine, and no interface but the loopback one is up with an address,
// whatever the lookup or the socket says.
bool unreachable(const QString& host)
{
    if (host == u"localhost" || QHostAddress(host).isLoopback())
        return false;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    return std::ranges::none_of(interfaces, [](const QNetworkInterface& network) {
        const QNetworkInterface::InterfaceFlags flags = network.flags();
        return flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning)
            && !flags.testFlag(QNetworkInterface::IsLoopBack) && !network.addressEntries().isEmpty();
    });
}

// The download a transfer's callbacks speak for; none once it let go.
Download* owner(void* easy)
{
    char* download = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &download);
    return reinterpret_cast<Download*>(download);
}

} // namespace

Download::Download(Request request, const Limits& limits, QObject* parent)
    : QObject(parent)
    , m_multi(CurlMulti::ofThisThread())
    , m_request(std::move(request))
    , m_limits(limits)
{
    Q_ASSERT(limits.idle.count() > 0 && limits.overall.count() > 0 && limits.maxBytes > 0);
    for (QTimer* timer : { &m_idle, &m_overall })
        timer->setSingleShot(true);
    m_idle.setInterval(m_limits.idle);
    m_overall.setInterval(m_limits.overall);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        const QString limit = durationText(m_limits.idle);
        const QString host = m_request.url.host();
        const QString unanswered = QStringLiteral("No answer from %1 within %2.").arg(host, limit);
        if (m_answered)
            stop(Stop::idle, QStringLiteral("Nothing arrived for %1; the server stopped sending.").arg(limit));
        else if (m_delivered) // the server has the request and keeps silent: the callers' own idle words
            stop(Stop::idle, unanswered);
        else if (unreachable(host)) // a lookup with nobody to ask
            stop(Stop::unreachable, cannotReach);
        else // never reached the server: the lookup or the connection hangs
            stop(Stop::unanswered, unanswered);
    });
    connect(&m_overall, &QTimer::timeout, this, [this] {
        stop(Stop::overall,
             QStringLiteral("The answer did not come in whole within %1.").arg(durationText(m_limits.overall)));
    });
}

Download::~Download() { release(); }

void Download::get(Done done)
{
    m_done = std::move(done);
    m_verb = "GET";
    send();
}

void Download::post(const QByteArray& body, Done done)
{
    m_done = std::move(done);
    m_verb = "POST";
    m_upload = body;
    send();
}

std::function<bool(const QUrl&)> Download::sameSite(const QUrl& origin)
{
    return [origin](const QUrl& url) {
        return url.scheme() == origin.scheme() && url.host() == origin.host() && url.port() == origin.port();
    };
}

QString Download::durationText(std::chrono::milliseconds duration)
{
    const qint64 ms = duration.count();
    if (ms >= 120000 && ms % 60000 == 0)
        return QString::number(ms / 60000) + QStringLiteral(" minutes");
    if (ms % 1000 == 0)
        return QString::number(ms / 1000) + QStringLiteral(" s");
    return QString::number(double(ms) / 1000, 'f', 1) + QStringLiteral(" s");
}

std::optional<int> Download::status() const { return m_status > 0 ? std::optional(m_status) : std::nullopt; }

qint64 Download::announcedBytes() const
{
    curl_off_t announced = -1;
    if (m_easy)
        curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    return announced;
}

void Download::send()
{
    m_delivered = false;
    m_answered = false;
    m_headDone = false;
    m_status = 0;
    m_redirect.clear();
    CURL* easy = curl_easy_init();
    if (!easy) {
        m_outcome.error = QString::fromUtf8(curl_easy_strerror(CURLE_OUT_OF_MEMORY));
        return handOver();
    }
    m_easy = easy;
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy, CURLOPT_URL, m_request.url.toEncoded().constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_USERAGENT, Endpoints::userAgent);
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, ""); // every coding curl decodes
    // Redirects are followed here, each hop under the caller's rule.
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // One request per connection, closed when it ends: nothing of a
    // connection outlives its request, or is read after it.
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    // The lookup and the connection within the idle limit, like the rest;
    // a lookup still under way is left to end by itself, never waited for.
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(m_limits.idle.count()));
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 64L * 1024);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Download::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, easy);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Download::onHead);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, easy);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &Download::onSocket);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, easy);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Download::onSending);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, easy);
    curl_slist* headers = nullptr;
    if (m_verb == "POST") {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(m_upload.size()));
        curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, m_upload.constData());
        if (!m_request.contentType.isEmpty())
            headers = curl_slist_append(headers, ("Content-Type: " + m_request.contentType).constData());
        // The body goes out with the request, not after a wait for leave.
        headers = curl_slist_append(headers, "Expect:");
    }
    m_idle.start();
    m_multi->start(easy, headers, [this](int result, const QString& words) { ended(result, words); });
}

int Download::onSocket(void* easy, int socket, int)
{
    // Not handed down to the programs this one starts.
    ::fcntl(socket, F_SETFD, ::fcntl(socket, F_GETFD) | FD_CLOEXEC);
    if (Download* download = owner(easy); download && !download->m_overall.isActive())
        download->m_overall.start(); // from the first try's sending on; a resend or a hop runs within it
    return CURL_SOCKOPT_OK;
}

int Download::onSending(void* easy, char*, char*, int, int)
{
    if (Download* download = owner(easy))
        download->m_delivered = true;
    return CURL_PREREQFUNC_OK;
}

std::size_t Download::onHead(char* data, std::size_t size, std::size_t count, void* easy)
{
    Download* download = owner(easy);
    return download && download->headLine(QByteArrayView(data, qsizetype(size * count))) ? size * count : 0;
}

std::size_t Download::onBody(char* data, std::size_t size, std::size_t count, void* easy)
{
    Download* download = owner(easy);
    return download ? download->take(data, size * count) : CURL_WRITEFUNC_ERROR;
}

bool Download::headLine(QByteArrayView line)
{
    if (m_outcome.stop != Stop::none)
        return false;
    m_answered = true;
    if (line.startsWith("HTTP/")) { // an interim head's end is followed by another
        m_headDone = false;
        m_redirect.clear();
    }
    constexpr QByteArrayView location = "location:";
    if (line.size() > location.size() && QByteArrayView(line.first(location.size())).compare(location, Qt::CaseInsensitive) == 0)
        m_redirect = QString::fromUtf8(line.sliced(location.size()).trimmed());
    if (line != "\r\n" && line != "\n")
        return true;
    long status = 0;
    curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200)
        return true;
    m_headDone = true;
    m_status = int(status);
    if (status < 300 || status > 399)
        m_redirect.clear();
    // A redirect's own page is counted as it comes, never kept.
    if (!m_redirect.isEmpty())
        return true;
    const qint64 announced = announcedBytes();
    if (announced > m_limits.maxBytes) {
        stop(Stop::tooLarge, QStringLiteral("The answer is larger than %1.").arg(ByteSize::text(m_limits.maxBytes)));
        return false;
    }
    // Room for the whole body at once, not grown and copied piece by piece.
    if (!m_sink && announced > 0)
        m_outcome.body.reserve(announced);
    return true;
}

std::size_t Download::take(const char* data, std::size_t size)
{
    if (m_outcome.stop != Stop::none)
        return CURL_WRITEFUNC_ERROR;
    if (m_turn != m_multi->callNumber()) {
        m_turn = m_multi->callNumber();
        m_turnBytes = 0;
    }
    if (m_turnBytes >= readAhead) {
        // curl offers the piece again once resumed, on the next turn.
        QMetaObject::invokeMethod(
            this, [this] { m_easy ? m_multi->resume(m_easy) : void(); }, Qt::QueuedConnection);
        return CURL_WRITEFUNC_PAUSE;
    }
    m_turnBytes += qint64(size);
    m_answered = true;
    m_idle.start();
    m_outcome.bytes += qint64(size);
    if (m_outcome.bytes > m_limits.maxBytes) {
        stop(Stop::tooLarge, QStringLiteral("The answer is larger than %1.").arg(ByteSize::text(m_limits.maxBytes)));
        return CURL_WRITEFUNC_ERROR;
    }
    if (!m_redirect.isEmpty())
        return size;
    const QByteArrayView piece(data, qsizetype(size));
    if (!m_sink) {
        m_outcome.body.append(piece);
        return size;
    }
    if (const QString refused = m_sink(piece); !refused.isEmpty()) {
        stop(Stop::sink, refused);
        return CURL_WRITEFUNC_ERROR;
    }
    return size;
}

bool Download::follow(const QString& to, int status)
{
    const QUrl from = m_request.url;
    const QUrl next = from.resolved(QUrl(to));
    if (++m_hops > maxHops) {
        m_outcome.stop = Stop::tooManyHops;
        m_outcome.reason = QStringLiteral("The server sent the request on too many times (too many redirects).");
        return false;
    }
    const bool allowed = m_limits.hopAllowed ? m_limits.hopAllowed(next)
                                             : isWeb(next) && !(from.scheme() == u"https" && next.scheme() == u"http");
    if (!allowed) {
        m_outcome.stop = Stop::refusedHop;
        m_outcome.reason = QStringLiteral("The server sent the request on to %1, which is not allowed.")
                               .arg(next.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery));
        return false;
    }
    // As browsers do: "see other", and a moved POST, continue as a GET.
    if (status == 303 || (m_verb == "POST" && (status == 301 || status == 302))) {
        m_verb = "GET";
        m_upload.clear();
        m_request.contentType.clear();
    }
    m_request.url = next;
    m_outcome.bytes = 0;
    m_outcome.body.clear();
    send();
    return true;
}

QString Download::transportWords(int result, const QString& words) const
{
    const QString host = m_request.url.host();
    long osError = 0;
    if (m_easy)
        curl_easy_getinfo(m_easy, CURLINFO_OS_ERRNO, &osError);
    if (result == CURLE_GOT_NOTHING || (result == CURLE_RECV_ERROR && !m_answered && osError == ECONNRESET))
        return QStringLiteral("%1 closed the connection before answering.").arg(host);
    if (result == CURLE_COULDNT_CONNECT && osError != 0)
        return qt_error_string(int(osError)); // "Connection refused"
    // curl's words for a header line it could not hold.
    if (result == CURLE_OUT_OF_MEMORY && !m_headDone)
        return QStringLiteral("The head of the answer from %1 is too large.").arg(host);
    return words.isEmpty() ? QString::fromUtf8(curl_easy_strerror(CURLcode(result))) : words;
}

void Download::ended(int result, const QString& words)
{
    const QString host = m_request.url.host();
    const QString transport = result == CURLE_OK ? QString() : transportWords(result, words);
    release();
    m_idle.stop();
    if (!m_redirect.isEmpty() && follow(m_redirect, m_status))
        return;
    if (m_outcome.stop == Stop::none && result != CURLE_OK) {
        const bool lookup = result == CURLE_COULDNT_RESOLVE_HOST || result == CURLE_COULDNT_RESOLVE_PROXY;
        const bool unsent = result == CURLE_OPERATION_TIMEDOUT && !m_delivered; // curl's bound of the connection
        const bool offline = (lookup || unsent || result == CURLE_COULDNT_CONNECT) && unreachable(host);
        if (offline || lookup) {
            m_outcome.stop = Stop::unreachable;
            m_outcome.reason = offline ? cannotReach : transport;
        } else if (unsent) {
            m_outcome.stop = Stop::unanswered;
            m_outcome.reason
                = QStringLiteral("No answer from %1 within %2.").arg(host, durationText(m_limits.idle));
        } else {
            m_outcome.error = transport;
        }
    }
    if (m_limits.resendUnanswered && m_verb == "GET" && !m_resent && m_outcome.stop == Stop::none && !m_answered
        && !m_outcome.error.isEmpty()) {
        m_resent = true;
        m_outcome.error.clear();
        send();
        return;
    }
    m_overall.stop();
    if (m_status > 0 && m_redirect.isEmpty())
        m_outcome.status = m_status;
    if (m_outcome.stop == Stop::none && m_outcome.error.isEmpty()) {
        if (!m_outcome.status || *m_outcome.status < 200) {
            m_outcome.stop = Stop::noAnswer;
            m_outcome.reason = QStringLiteral("%1 sent no answer.").arg(host);
        } else if (m_verb == "GET" && *m_outcome.status <= 299 && m_outcome.bytes == 0) {
            m_outcome.stop = Stop::noAnswer;
            m_outcome.reason = QStringLiteral("%1 sent an empty answer.").arg(host);
        }
    }
    handOver();
}

void Download::stop(Stop why, const QString& reason)
{
    if (!m_easy || m_outcome.stop != Stop::none)
        return;
    m_outcome.stop = why;
    m_outcome.reason = reason;
    if (m_headDone && m_redirect.isEmpty())
        m_outcome.status = m_status;
    m_idle.stop();
    m_overall.stop();
    release();
    handOver();
}

void Download::release()
{
    if (!m_easy)
        return;
    // Any callback still to come within curl's current call hears nothing.
    curl_easy_setopt(m_easy, CURLOPT_PRIVATE, nullptr);
    m_multi->drop(std::exchange(m_easy, nullptr));
}

void Download::handOver()
{
    // On a later turn, so that no caller's handler runs inside curl's, or
    // inside cancel() or get().
    QMetaObject::invokeMethod(
        this,
        [this] {
            const Done done = std::move(m_done);
            const Outcome outcome = std::move(m_outcome);
            deleteLater();
            if (done)
                done(outcome);
        },
        Qt::QueuedConnection);
}
