#include "maintenance/ProblemReportSender.h"

#include "support/Download.h"
#include "support/DownloadFailure.h"

ProblemReportSender::ProblemReportSender(QObject* parent)
    : QObject(parent)
{
}

void ProblemReportSender::send(const ProblemReport& report, std::function<void(const Result&)> done)
{
    const Download::Request request { ProblemReport::url(), QByteArrayLiteral("application/json") };
    const Download::Limits limits { std::chrono::milliseconds(m_timeoutMs), limit, maxAnswerBytes,
                                    Download::sameSite(request.url) };
    auto* download = new Download(request, limits, this);
    download->post(report.jsonData(), [done = std::move(done)](const Download::Outcome& outcome) {
        // An HTTP status means the site answered, whatever the status; the
        // report's answer tells what became of it.
        if (const auto failure = DownloadFailure::of(outcome, { .accepted = [](int) { return true; } }))
            return done(std::unexpected(*failure));
        done(ProblemReport::outcome(*outcome.status, outcome.body));
    });
}
