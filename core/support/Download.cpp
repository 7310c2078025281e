#include "support/Download.h"

#include "support/DownloadTry.h"
#include "support/TransferThread.h"

#include <QList>

#include <curl/curl.h>

#include <memory>
#include <utility>

namespace {

bool isWeb(const QUrl& url) { return url.scheme() == u"http" || url.scheme() == u"https"; }

// Whether curl, given `url`'s text, connects where Qt reads that it goes.
bool curlReadsTheSame(const QUrl& url)
{
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), &curl_url_cleanup);
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.toEncoded().constData(), 0) != CURLUE_OK)
        return false;
    const auto part = [&](CURLUPart which, unsigned flags = 0) {
        char* text = nullptr;
        if (curl_url_get(parsed.get(), which, &text, flags) != CURLUE_OK)
            return QString();
        const QString read = QString::fromUtf8(text);
        curl_free(text);
        return read;
    };
    QString host = part(CURLUPART_HOST);
    if (host.startsWith(u'[') && host.endsWith(u']')) // an IPv6 address
        host = host.sliced(1, host.size() - 2);
    const int port = url.port(url.scheme() == u"https" ? 443 : 80);
    return part(CURLUPART_SCHEME) == url.scheme()
        && host.compare(url.host(QUrl::FullyEncoded), Qt::CaseInsensitive) == 0
        && part(CURLUPART_PORT, CURLU_DEFAULT_PORT) == QString::number(port);
}

} // namespace

Download::Download(Request request, const Limits& limits, QObject* parent)
    : QObject(parent)
    , m_request(std::move(request))
    , m_limits(limits)
{
    Q_ASSERT(limits.idle.count() > 0 && limits.overall.count() > 0 && limits.maxBytes > 0);
}

Download::~Download() { release(); }

void Download::initialise() { curl_global_init(CURL_GLOBAL_DEFAULT); }

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

std::optional<QUrl> Download::hop(const QUrl& from, const QString& location,
                                  const std::function<bool(const QUrl&)>& rule)
{
    const QUrl next = from.resolved(QUrl(location));
    // Only http(s) is ever sent, whatever a caller's rule allows.
    if (!isWeb(next))
        return std::nullopt;
    const bool allowed = rule ? rule(next) : !(from.scheme() == u"https" && next.scheme() == u"http");
    return allowed && curlReadsTheSame(next) ? std::optional(next) : std::nullopt;
}

QString Download::durationText(std::chrono::milliseconds duration)
{
    const qint64 ms = duration.count();
    if (ms < 1000)
        return QString::number(ms) + QStringLiteral(" ms");
    if (ms >= 120000 && ms % 60000 == 0)
        return QString::number(ms / 60000) + QStringLiteral(" minutes");
    if (ms % 1000 == 0)
        return QString::number(ms / 1000) + QStringLiteral(" s");
    return QString::number(double(ms) / 1000, 'f', 1) + QStringLiteral(" s");
}

bool Download::decodes(QByteArrayView coding)
{
    static const QList<QByteArray> asked = [] {
        QList<QByteArray> names;
        for (const QByteArray& name : QByteArray(askedCodings).split(','))
            names << name.trimmed().toLower();
        if (names.contains("gzip"))
            names << "x-gzip";
        return names;
    }();
    return asked.contains(coding);
}

std::optional<int> Download::status() const { return m_status > 0 ? std::optional(m_status) : std::nullopt; }

qint64 Download::announcedBytes() const { return m_announced; }

void Download::send()
{
    m_status = 0;
    m_announced = -1;
    m_link = std::make_shared<DownloadLink>();
    m_link->owner = this;
    DownloadTry::Setup setup { m_request.url, m_verb,           m_upload,        m_request.contentType,
                               m_limits.idle, m_limits.overall, m_limits.maxBytes, bool(m_sink),
                               m_deadline };
    TransferThread::post([link = m_link, setup = std::move(setup)](CurlMulti& multi) {
        new DownloadTry(setup, link, multi); // gone when it ends
    });
}

void Download::drain()
{
    if (!m_link)
        return;
    QByteArray pieces;
    std::optional<DownloadTry::End> end;
    bool paused = false;
    {
        const std::lock_guard hold(m_link->lock);
        m_link->told = false;
        m_status = m_link->status;
        m_announced = m_link->announced;
        pieces.swap(m_link->pieces);
        paused = std::exchange(m_link->paused, false);
        end = std::move(m_link->end);
    }
    if (!pieces.isEmpty()) {
        if (const QString refused = m_sink(pieces); !refused.isEmpty())
            return stop(Stop::sink, refused);
        if (!m_link) // the sink cancelled its download
            return;
    }
    if (paused && !end)
        TransferThread::post([link = m_link](CurlMulti&) { link->transfer ? link->transfer->resume() : void(); });
    if (!end)
        return;
    // The try is over: what follows is this download's.
    release();
    m_deadline = end->deadline;
    m_outcome.stop = end->stop;
    m_outcome.reason = end->reason;
    m_outcome.error = end->error;
    m_outcome.detail = end->detail;
    m_outcome.bytes = end->bytes;
    m_outcome.body = std::move(end->body);
    if (!end->redirect.isEmpty() && follow(end->redirect, end->status))
        return;
    if (m_limits.resendUnanswered && m_verb == "GET" && !m_resent && m_outcome.stop == Stop::none
        && !end->answered && !m_outcome.error.isEmpty()) {
        m_resent = true;
        m_outcome.error.clear();
        return send();
    }
    if (end->status > 0 && end->redirect.isEmpty())
        m_outcome.status = end->status;
    const QString host = m_request.url.host();
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

bool Download::follow(const QString& to, int status)
{
    if (++m_hops > maxHops) {
        m_outcome.stop = Stop::tooManyHops;
        m_outcome.reason = QStringLiteral("The server sent the request on too many times (too many redirects).");
        return false;
    }
    const std::optional<QUrl> next = hop(m_request.url, to, m_limits.hopAllowed);
    if (!next) {
        m_outcome.stop = Stop::refusedHop;
        m_outcome.reason = QStringLiteral("The server sent the request on to %1, which is not allowed.")
                               .arg(m_request.url.resolved(QUrl(to))
                                        .toDisplayString(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery));
        return false;
    }
    // As browsers do: "see other", and a moved POST, continue as a GET.
    if (status == 303 || (m_verb == "POST" && (status == 301 || status == 302))) {
        m_verb = "GET";
        m_upload.clear();
        m_request.contentType.clear();
    }
    m_request.url = *next;
    m_outcome.bytes = 0;
    m_outcome.body.clear();
    send();
    return true;
}

void Download::stop(Stop why, const QString& reason)
{
    if (!m_link || m_outcome.stop != Stop::none)
        return;
    m_outcome.stop = why;
    m_outcome.reason = reason;
    if (m_status > 0)
        m_outcome.status = m_status;
    release();
    handOver();
}

void Download::release()
{
    if (!m_link)
        return;
    {
        // Nothing more is told to this download ...
        const std::lock_guard hold(m_link->lock);
        m_link->owner = nullptr;
    }
    // ... and its try, if still under way, closes its connection.
    TransferThread::post([link = std::exchange(m_link, nullptr)](CurlMulti&) {
        if (link->transfer)
            link->transfer->drop();
    });
}

void Download::handOver()
{
    // On a later turn, so that no caller's handler runs inside cancel() or
    // get().
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
