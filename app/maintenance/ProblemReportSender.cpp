#include "maintenance/ProblemReportSender.h"

#include "support/Endpoints.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

ProblemReportSender::ProblemReportSender(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
}

void ProblemReportSender::send(const ProblemReport& report, std::function<void(const Result&)> done)
{
    QNetworkRequest request(ProblemReport::url());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(Endpoints::userAgent));
    request.setTransferTimeout(m_timeoutMs);

    QNetworkReply* reply = m_network->post(request, report.jsonData());
    connect(reply, &QNetworkReply::finished, this, [reply, done = std::move(done)] {
        reply->deleteLater();
        // An HTTP status means the site answered, whatever the status; without
        // one nothing came back that could be read as an answer.
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid())
            done(ProblemReport::outcome(status.toInt(), reply->readAll()));
        else
            done(std::unexpected(reply->errorString()));
    });
}
