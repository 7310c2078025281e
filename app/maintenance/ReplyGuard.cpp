#include "maintenance/ReplyGuard.h"

#include "support/ByteSize.h"
#include "support/Endpoints.h"

#include <QNetworkReply>
#include <QNetworkRequest>

void ReplyGuard::prepare(QNetworkRequest& request)
{
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(Endpoints::userAgent));
}

std::function<bool(const QUrl&)> ReplyGuard::sameSite(const QUrl& origin)
{
    return [origin](const QUrl& url) {
        return url.scheme() == origin.scheme() && url.host() == origin.host() && url.port() == origin.port();
    };
}

ReplyGuard* ReplyGuard::watch(QNetworkReply* reply, const Limits& limits) { return new ReplyGuard(reply, limits); }

QString ReplyGuard::durationText(std::chrono::milliseconds duration)
{
    const qint64 ms = duration.count();
    if (ms >= 120000 && ms % 60000 == 0)
        return QString::number(ms / 60000) + QStringLiteral(" minutes");
    if (ms % 1000 == 0)
        return QString::number(ms / 1000) + QStringLiteral(" s");
    return QString::number(double(ms) / 1000, 'f', 1) + QStringLiteral(" s");
}

ReplyGuard::ReplyGuard(QNetworkReply* reply, const Limits& limits)
    : QObject(reply)
    , m_reply(reply)
    , m_limits(limits)
{
    m_idle.setSingleShot(true);
    m_overall.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        const QString limit = durationText(m_limits.idle);
        cancel(m_anything ? QStringLiteral("Nothing arrived for %1; the server stopped sending.").arg(limit)
                          : QStringLiteral("No answer within %1.").arg(limit));
    });
    connect(&m_overall, &QTimer::timeout, this, [this] {
        cancel(QStringLiteral("The answer did not come in whole within %1.").arg(durationText(m_limits.overall)));
    });
    if (m_limits.idle.count() > 0)
        m_idle.start(m_limits.idle);
    if (m_limits.overall.count() > 0)
        m_overall.start(m_limits.overall);

    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        arrived();
        const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (announced.isValid())
            checkSize(announced.toLongLong());
    });
    // The network layer's progress signal comes at most every 100 ms; the
    // bytes themselves count at once.
    connect(reply, &QNetworkReply::readyRead, this, [this] {
        arrived();
        checkSize(m_reply->bytesAvailable());
    });
    connect(reply, &QNetworkReply::uploadProgress, this, [this](qint64 sent, qint64) {
        if (sent > 0 && m_idle.isActive())
            m_idle.start();
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        arrived();
        checkSize(std::max(received, total));
    });
    connect(reply, &QNetworkReply::redirected, this, [this](const QUrl& to) {
        arrived();
        const QUrl next = m_reply->url().resolved(to);
        if (m_limits.hopAllowed && m_limits.hopAllowed(next)) {
            Q_EMIT m_reply->redirectAllowed();
            return;
        }
        cancel(!m_limits.refusedHop.isEmpty()
                   ? m_limits.refusedHop
                   : QStringLiteral("The server sent the request on to %1, which is not allowed.") .arg(
                       next.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery)));
    });
    connect(reply, &QNetworkReply::finished, this, [this] {
        m_idle.stop();
        m_overall.stop();
    });
}

void ReplyGuard::arrived()
{
    m_anything = true;
    if (m_idle.isActive())
        m_idle.start();
}

void ReplyGuard::checkSize(qint64 bytes)
{
    if (m_limits.maxBytes >= 0 && bytes > m_limits.maxBytes)
        cancel(QStringLiteral("The answer is larger than %1.").arg(ByteSize::text(m_limits.maxBytes)));
}

void ReplyGuard::cancel(const QString& reason)
{
    if (!m_reason.isEmpty() || m_reply->isFinished())
        return;
    m_reason = reason;
    m_idle.stop();
    m_overall.stop();
    m_reply->abort();
}
