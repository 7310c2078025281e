#include "support/Download.h"

#include "support/ByteSize.h"
#include "support/Endpoints.h"

#include <QNetworkAccessManager>

namespace {

bool isWeb(const QUrl& url) { return url.scheme() == u"http" || url.scheme() == u"https"; }

} // namespace

Download::Download(QNetworkAccessManager& network, const QNetworkRequest& request, const Limits& limits,
                   QObject* parent)
    : QObject(parent)
    , m_network(network)
    , m_request(request)
    , m_limits(limits)
{
    Q_ASSERT(limits.idle.count() > 0 && limits.overall.count() > 0 && limits.maxBytes > 0);
    m_request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    m_request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(Endpoints::userAgent));
    m_idle.setSingleShot(true);
    m_idle.setInterval(m_limits.idle);
    m_overall.setSingleShot(true);
    m_overall.setInterval(m_limits.overall);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        const QString limit = durationText(m_limits.idle);
        stop(Stop::idle,
             m_answered ? QStringLiteral("Nothing arrived for %1; the server stopped sending.").arg(limit)
                        : QStringLiteral("No answer within %1.").arg(limit));
    });
    connect(&m_overall, &QTimer::timeout, this, [this] {
        stop(Stop::overall,
             QStringLiteral("The answer did not come in whole within %1.").arg(durationText(m_limits.overall)));
    });
}

Download::~Download()
{
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
    m_overall.start();
    send();
}

void Download::post(const QByteArray& body, Done done)
{
    m_done = std::move(done);
    m_verb = "POST";
    m_upload = body;
    m_overall.start();
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
    m_answered = false;
    QNetworkReply* reply = m_verb == "POST" ? m_network.post(m_request, m_upload) : m_network.get(m_request);
    m_reply = reply;
    // The idle time starts when the request leaves the queue: its
    // connection is being made, or it went out on one already open.
    connect(reply, &QNetworkReply::socketStartedConnecting, this, [this] { m_idle.start(); });
    connect(reply, &QNetworkReply::requestSent, this, [this] { m_idle.start(); });
    connect(reply, &QNetworkReply::uploadProgress, this, [this](qint64 sent, qint64) {
        if (sent > 0)
            m_idle.start();
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        m_answered = true;
        m_idle.start();
        checkSize(announcedBytes());
    });
    // The bytes are counted as they are read; the progress signal, at most
    // every 100 ms, would only repeat the announced length.
    connect(reply, &QNetworkReply::readyRead, this, [this] { take(); });
    connect(reply, &QNetworkReply::redirected, this, [this](const QUrl& to) {
        m_answered = true;
        m_idle.start();
        const QUrl from = m_reply->url();
        const QUrl next = from.resolved(to);
        const bool allowed = m_limits.hopAllowed
            ? m_limits.hopAllowed(next)
            : isWeb(next) && !(from.scheme() == u"https" && next.scheme() == u"http");
        if (allowed) {
            Q_EMIT m_reply->redirectAllowed();
            return;
        }
        stop(Stop::refusedHop,
             QStringLiteral("The server sent the request on to %1, which is not allowed.") .arg(
                 next.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery)));
    });
    connect(reply, &QNetworkReply::finished, this, [this] { ended(); });
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
    if (m_outcome.stop != Stop::none)
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
    const QNetworkReply::NetworkError error = reply->error();
    if (m_limits.resendUnanswered && !m_resent && m_outcome.stop == Stop::none && !m_answered
        && error != QNetworkReply::NoError && error != QNetworkReply::OperationCanceledError) {
        m_resent = true;
        send();
        return;
    }
    m_overall.stop();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        m_outcome.status = status.toInt();
    m_outcome.error = error;
    m_outcome.errorString = reply->errorString();
    // Handed over on a later turn, so that no caller's handler runs inside
    // the network layer's, or inside cancel().
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
