#pragma once

#include "maintenance/ProblemReport.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <expected>
#include <functional>


// Posts problem reports to the maker's web site. Any HTTP answer, an error
// status or an unreadable body included, becomes an outcome; only a transfer
// that got no answer (no connection, time-out, an answer too large, a
// redirect off the site) is a failure, carrying what happened for the log.
// Main thread.
class ProblemReportSender : public QObject {
    Q_OBJECT
public:
    using Result = std::expected<ProblemReport::Outcome, QString>;

    static constexpr int defaultTimeoutMs = 30000;
    // The whole exchange, however slowly it goes on.
    static constexpr std::chrono::milliseconds limit { 120000 };
    // The site answers with a line of JSON; a larger answer is no answer.
    static constexpr qint64 maxAnswerBytes = 1 << 20;

    explicit ProblemReportSender(QObject* parent = nullptr);

    // How long the transfer may go without progress before it is given up.
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int timeout() const { return m_timeoutMs; }

    // Starts the POST and returns at once; `done` runs exactly once, on this
    // thread, unless the sender is destroyed first.
    void send(const ProblemReport& report, std::function<void(const Result&)> done);

private:
    int m_timeoutMs = defaultTimeoutMs;
};
