#include "support/Download.h"

#include "support/ByteSize.h"
#include "support/Endpoints.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkInterface>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

const QString cannotReach = QStringLiteral("The network cannot be reached.");

bool isWeb(const QUrl& url) { return url.scheme() == u"http" || url.scheme() == u"https"; }

bool sameHost(const QUrl& a, const QUrl& b)
{
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port() == b.port();
}

// The downloads of this thread under way: the network managers they use
// live here too, and so do the lines for their hosts' connections.
QList<Download*>& underWay()
{
    thread_local QList<Download*> downloads;
    return downloads;
}

// Whether any interface but the loopback one is up with an address: with
// none, no host can be reached, whatever the lookup or the socket says.
bool networkUp()
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    return std::ranges::any_of(interfaces, [](const QNetworkInterface& network) {
        const QNetworkInterface::InterfaceFlags flags = network.flags();
        return flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning)
            && !flags.testFlag(QNetworkInterface::IsLoopBack) && !network.addressEntries().isEmpty();
    });
}

// Where a reply sends the request on; empty when it is no redirect.
QUrl redirectTarget(const QNetworkReply& reply)
{
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 300 || status > 399)
        return {};
    return reply.attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
}

// A request body the network layer reads once and cannot rewind: when a
// connection closes before any byte of the answer, the request fails
// instead of reaching the server a second time.
class OnceBody : public QIODevice {
public:
    explicit OnceBody(QByteArray bytes)
        : m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override { return m_bytes.size() - m_at + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 max) override
    {
        const qint64 count = std::min(max, m_bytes.size() - m_at);
        std::memcpy(data, m_bytes.constData() + m_at, size_t(count));
        m_at += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_at = 0;
};

} // namespace

Download::Download(QNetworkAccessManager& network, const QNetworkRequest& request, const Limits& limits,
                   QObject* parent)
    : QObject(parent)
    , m_network(network)
    , m_request(request)
    , m_limits(limits)
{
    Q_ASSERT(limits.idle.count() > 0 && limits.overall.count() > 0 && limits.maxBytes > 0);
    m_request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(Endpoints::userAgent));
    for (QTimer* timer : { &m_idle, &m_queued, &m_overall })
        timer->setSingleShot(true);
    m_idle.setInterval(m_limits.idle);
    m_queued.setInterval(m_limits.overall);
    m_overall.setInterval(m_limits.overall);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        // Behind the requests that hold every connection to the host: the
        // line's own bound applies.
        if (!m_sent && inLine())
            return m_idle.start();
        const QString limit = durationText(m_limits.idle);
        const QString unanswered = QStringLiteral("No answer from %1 within %2.").arg(m_request.url().host(), limit);
        if (m_answered)
            stop(Stop::idle, QStringLiteral("Nothing arrived for %1; the server stopped sending.").arg(limit));
        else if (m_delivered) // the server has the request and keeps silent: the callers' own idle words
            stop(Stop::idle, unanswered);
        else // never reached the server: the lookup or the connection hangs
            stop(Stop::unanswered, unanswered);
    });
    connect(&m_queued, &QTimer::timeout, this, [this] {
        // Not in line (still looking the host up, say): the idle limit rules.
        if (!inLine())
            return;
        stop(Stop::queued,
             QStringLiteral("No connection to %1 came free within %2; the request was not sent.")
                                .arg(m_request.url().host(), durationText(m_limits.overall)));
    });
    connect(&m_overall, &QTimer::timeout, this, [this] {
        stop(Stop::overall,
             QStringLiteral("The answer did not come in whole within %1.").arg(durationText(m_limits.overall)));
    });
    underWay().append(this);
}

Download::~Download()
{
    underWay().removeOne(this);
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

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

std::optional<int> Download::status() const
{
    const QVariant status = m_reply ? m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute) : QVariant();
    return status.isValid() ? std::optional(status.toInt()) : std::nullopt;
}

qint64 Download::announcedBytes() const
{
    const QVariant announced = m_reply ? m_reply->header(QNetworkRequest::ContentLengthHeader) : QVariant();
    return announced.isValid() ? announced.toLongLong() : -1;
}

void Download::send()
{
    m_sent = false;
    m_delivered = false;
    m_answered = false;
    // With no network a lookup may hang for as long as the resolver likes;
    // nothing but this machine can answer anyway.
    const QString host = m_request.url().host();
    if (!QHostAddress(host).isLoopback() && host != u"localhost" && !networkUp()) {
        m_outcome.stop = Stop::unreachable;
        m_outcome.reason = cannotReach;
        return handOver();
    }
    QNetworkReply* reply = nullptr;
    if (m_verb == "POST") {
        QNetworkRequest request = m_request;
        request.setHeader(QNetworkRequest::ContentLengthHeader, m_upload.size());
        request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
        auto* body = new OnceBody(m_upload);
        reply = m_network.post(request, body);
        body->setParent(reply);
    } else {
        reply = m_network.get(m_request);
    }
    // Qt's network thread reads no further ahead than this of what the
    // window's thread has taken, so a stop at the cap comes in time.
    reply->setReadBufferSize(readAhead);
    m_reply = reply;
    m_idle.start();
    m_queued.start();
    // On its way when its connection is being made, or when it went out on
    // one already open.
    const auto delivered = [this] {
        m_delivered = true;
        onItsWay();
    };
    connect(reply, &QNetworkReply::socketStartedConnecting, this, [this] { onItsWay(); });
    connect(reply, &QNetworkReply::requestSent, this, delivered);
    connect(reply, &QNetworkReply::uploadProgress, this, [delivered](qint64 sent, qint64) {
        if (sent > 0)
            delivered();
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, delivered] {
        delivered();
        m_answered = true;
        checkSize(announcedBytes());
    });
    // The bytes are counted as they are read; the progress signal, at most
    // every 100 ms, would only repeat the announced length.
    connect(reply, &QNetworkReply::readyRead, this, [this] { take(); });
    connect(reply, &QNetworkReply::finished, this, [this] { ended(); });
}

void Download::onItsWay()
{
    m_idle.start();
    if (std::exchange(m_sent, true))
        return;
    m_queued.stop();
    // From the first try's sending on; a resend or a hop runs within it.
    if (!m_overall.isActive())
        m_overall.start();
}

bool Download::sharesLineWith(const Download& other) const
{
    return &other != this && other.m_reply && &other.m_network == &m_network
        && sameHost(other.m_request.url(), m_request.url());
}

bool Download::inLine() const
{
    // The network layer opens at most six connections to a host and keeps
    // further requests in its line until one of them is free.
    constexpr int connectionsPerHost = 6;
    const auto ahead = std::ranges::count_if(
        underWay(), [this](const Download* other) { return other->m_sent && sharesLineWith(*other); });
    return ahead >= connectionsPerHost;
}

bool Download::follow(const QUrl& to, int status)
{
    const QUrl from = m_request.url();
    const QUrl next = from.resolved(to);
    if (++m_hops > maxHops) {
        m_outcome.stop = Stop::tooManyHops;
        m_outcome.reason = QStringLiteral("The server sent the request on too many times (too many redirects).");
        return false;
    }
    const bool allowed = m_limits.hopAllowed ? m_limits.hopAllowed(next)
                                             : isWeb(next) && !(from.scheme() == u"https" && next.scheme() == u"http");
    if (!allowed) {
        m_outcome.stop = Stop::refusedHop;
        m_outcome.reason = QStringLiteral("The server sent the request on to %1, which is not allowed.") .arg(
            next.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery));
        return false;
    }
    // As browsers do: "see other", and a moved POST, continue as a GET.
    if (status == 303 || (m_verb == "POST" && (status == 301 || status == 302))) {
        m_verb = "GET";
        m_upload.clear();
        m_request.setHeader(QNetworkRequest::ContentTypeHeader, QVariant());
    }
    m_request.setUrl(next);
    m_outcome.bytes = 0;
    m_outcome.body.clear();
    send();
    return true;
}

void Download::take()
{
    if (!m_reply || m_outcome.stop != Stop::none)
        return;
    const QByteArray piece = m_reply->readAll();
    if (piece.isEmpty())
        return;
    m_answered = true;
    m_idle.start();
    m_outcome.bytes += piece.size();
    checkSize(m_outcome.bytes);
    // A redirect's own page is counted, never kept.
    if (m_outcome.stop != Stop::none || !redirectTarget(*m_reply).isEmpty())
        return;
    if (!m_sink) {
        m_outcome.body += piece;
        return;
    }
    if (const QString refused = m_sink(piece); !refused.isEmpty())
        stop(Stop::sink, refused);
}

void Download::checkSize(qint64 bytes)
{
    if (bytes > m_limits.maxBytes)
        stop(Stop::tooLarge, QStringLiteral("The answer is larger than %1.").arg(ByteSize::text(m_limits.maxBytes)));
}

void Download::stop(Stop why, const QString& reason)
{
    if (!m_reply || m_outcome.stop != Stop::none)
        return;
    m_outcome.stop = why;
    m_outcome.reason = reason;
    m_idle.stop();
    m_queued.stop();
    m_overall.stop();
    if (!m_reply->isFinished())
        m_reply->abort();
}

void Download::ended()
{
    take(); // whatever is left
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    m_idle.stop();
    m_queued.stop();
    const QNetworkReply::NetworkError error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QUrl redirect = redirectTarget(*reply);
    if (m_outcome.stop == Stop::none && !redirect.isEmpty() && follow(redirect, status.toInt()))
        return;
    // The network layer's own errors (below 100): no server's answer.
    const bool transport = error != QNetworkReply::NoError && error < QNetworkReply::ProxyConnectionRefusedError
        && error != QNetworkReply::OperationCanceledError;
    // Asked only after a transport error, where it tells the cause.
    const bool offline = m_outcome.stop == Stop::none && transport && !status.isValid() && !networkUp();
    if (m_outcome.stop == Stop::none && (error == QNetworkReply::HostNotFoundError || offline)) {
        const QString reason = offline ? cannotReach : reply->errorString();
        m_outcome.stop = Stop::unreachable;
        m_outcome.reason = reason;
        // The others waiting for the same host hear nothing from the
        // network layer, which reports a failed lookup to one request only.
        for (const QPointer<Download>& other : QList<QPointer<Download>>(underWay().cbegin(), underWay().cend()))
            if (other && !other->m_sent && sharesLineWith(*other) && other->m_reply->error() == QNetworkReply::NoError)
                other->stop(Stop::unreachable, reason);
    }
    if (m_limits.resendUnanswered && m_verb == "GET" && !m_resent && m_outcome.stop == Stop::none && !m_answered
        && transport) {
        m_resent = true;
        send();
        return;
    }
    m_overall.stop();
    if (status.isValid() && redirect.isEmpty())
        m_outcome.status = status.toInt();
    m_outcome.error = error;
    m_outcome.errorString = reply->errorString();
    if (m_outcome.stop == Stop::none && error == QNetworkReply::NoError) {
        const QString host = m_request.url().host();
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

void Download::handOver()
{
    // On a later turn, so that no caller's handler runs inside the network
    // layer's, or inside cancel() or get().
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
