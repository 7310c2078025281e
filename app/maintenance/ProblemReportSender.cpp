#include "maintenance/ProblemReportSender.h"

#include "support/Download.h"

#include <QNetworkAccessManager>

ProblemReportSender::ProblemReportSender(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
}

void ProblemReportSender::send(const ProblemReport& report, std::function<void(const Result&)> done)
{
    QNetworkRequest request(ProblemReport::url());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    const Download::Limits limits { std::chrono::milliseconds(m_timeoutMs), limit, maxAnswerBytes,
                                    Download::sameSite(request.url()) };
    auto* download = new Download(*m_network, request, limits, this);
    download->post(report.jsonData(), [done = std::move(done)](const Download::Outcome& outcome) {
        if (outcome.stop != Download::Stop::none)
            return done(std::unexpected(outcome.reason));
        // An HTTP status means the site answered, whatever the status; without
        // one nothing came back that could be read as an answer.
        if (outcome.status)
            done(ProblemReport::outcome(*outcome.status, outcome.body));
        else
            done(std::unexpected(outcome.errorString));
    });
}
