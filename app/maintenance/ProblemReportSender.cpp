#include "maintenance/ProblemReportSender.h"

#include "maintenance/ReplyGuard.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

ProblemReportSender::ProblemReportSender(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
}

void ProblemReportSender::send(const ProblemReport& report, std::function<void(const Result&)> done)
{
    QNetworkRequest request(ProblemReport::url());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    ReplyGuard::prepare(request);

    QNetworkReply* reply = m_network->post(request, report.jsonData());
    ReplyGuard::Limits limits;
    limits.idle = std::chrono::milliseconds(m_timeoutMs);
    limits.maxBytes = maxAnswerBytes;
    limits.hopAllowed = ReplyGuard::sameSite(request.url());
    auto guard = QPointer<ReplyGuard>(ReplyGuard::watch(reply, limits));
    connect(reply, &QNetworkReply::finished, this, [reply, guard, done = std::move(done)] {
        reply->deleteLater();
        if (guard && !guard->reason().isEmpty())
            return done(std::unexpected(guard->reason()));
        // An HTTP status means the site answered, whatever the status; without
        // one nothing came back that could be read as an answer.
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid())
            done(ProblemReport::outcome(status.toInt(), reply->readAll()));
        else
            done(std::unexpected(reply->errorString()));
    });
}
