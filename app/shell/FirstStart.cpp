#include "shell/FirstStart.h"

#include "kit/AppLog.h"
#include "maintenance/FirstStartState.h"
#include "maintenance/Updater.h"
#include "support/Download.h"
#include "support/DownloadFailure.h"
#include "support/Endpoints.h"

#include <QStandardPaths>

FirstStart::FirstStart(QObject* parent)
    : QObject(parent)
    , m_stateFile(standardStateFile())
{
    m_timer.setSingleShot(true);
    // Qt's timers run on the monotonic clock: a change of the wall clock
    // neither hurries nor delays the report.
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { send(Updater::currentVersion()); });
}

QUrl FirstStart::endpoint()
{
    // Built on each call: only a test's loopback override can change it.
    return QUrl(Endpoints::makerBase() + QStringLiteral("/corvanta-hit.php"));
}

QString FirstStart::standardStateFile()
{
    if (QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).isEmpty())
        return {};
    return AppLog::folder() + QLatin1Char('/') + QLatin1String(FirstStartState::fileName);
}

void FirstStart::schedule(std::chrono::milliseconds after) { m_timer.start(after); }

void FirstStart::send(const QString& version)
{
    if (m_stateFile.isEmpty()) {
        Q_EMIT finished();
        return;
    }
    FirstStartState state = FirstStartState::read(m_stateFile);
    if (!state.shouldSend()) {
        Q_EMIT finished();
        return;
    }
    // Counted before anything goes out, so an attempt counts even when the
    // application quits or the request never ends.
    ++state.tries;
    state.sent = false;
    state.write(m_stateFile);

    const Download::Request request { endpoint(), QByteArrayLiteral("application/json") };
    const Download::Limits limits { std::chrono::milliseconds(m_timeoutMs), limit, maxAnswerBytes,
                                    Download::sameSite(request.url) };
    auto* download = new Download(request, limits, this);
    download->post(state.body(version), [this, state](const Download::Outcome& outcome) mutable {
        if (const std::optional<QString> failure = DownloadFailure::of(outcome)) {
            AppLog::file().write(QStringLiteral("Install report failed: ") + *failure);
        } else {
            state.sent = true;
            state.write(m_stateFile);
            AppLog::file().write(QStringLiteral("Install report sent."));
        }
        Q_EMIT finished();
    });
}
