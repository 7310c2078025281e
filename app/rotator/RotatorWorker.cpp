#include "rotator/RotatorWorker.h"

#include "geo/GeoMath.h"
#include "rotator/RotatorSession.h"
#include "rotator/SerialLink.h"
#include "rotator/TCPLink.h"

#include <QDeadlineTimer>

#include <cmath>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// How often a worker waiting for its predecessor looks at its own mailbox.
constexpr double predecessorSlice = 0.05;

Clock::duration span(double seconds)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(std::max(seconds, 0.0)));
}

} // namespace

void RotatorMailbox::postTarget(double bearing)
{
    QMutexLocker locker(&m_lock);
    m_target = bearing;
    m_stop = false;
    m_posted.wakeAll();
}

void RotatorMailbox::postStop()
{
    QMutexLocker locker(&m_lock);
    m_stop = true;
    m_target.reset();
    m_posted.wakeAll();
}

void RotatorMailbox::cancel()
{
    QMutexLocker locker(&m_lock);
    m_cancelled = true;
    m_posted.wakeAll();
}

bool RotatorMailbox::isCancelled() const
{
    QMutexLocker locker(&m_lock);
    return m_cancelled;
}

RotatorMailbox::Commands RotatorMailbox::take()
{
    QMutexLocker locker(&m_lock);
    Commands commands { m_target, m_stop };
    m_target.reset();
    m_stop = false;
    return commands;
}

bool RotatorMailbox::hasWork(bool commandsWake) const { return m_cancelled || (commandsWake && (m_target || m_stop)); }

void RotatorMailbox::wait(Clock::time_point deadline, bool commandsWake) const
{
    QMutexLocker locker(&m_lock);
    while (!hasWork(commandsWake)) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return;
        m_posted.wait(&m_lock, QDeadlineTimer(left));
    }
}

void RotatorMailbox::markEnded()
{
    QMutexLocker locker(&m_lock);
    m_ended = true;
    m_posted.wakeAll();
}

bool RotatorMailbox::hasEnded() const
{
    QMutexLocker locker(&m_lock);
    return m_ended;
}

void RotatorMailbox::waitEnded(Clock::time_point deadline) const
{
    QMutexLocker locker(&m_lock);
    while (!m_ended) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return;
        m_posted.wait(&m_lock, QDeadlineTimer(left));
    }
}

RotatorWorker::RotatorWorker(RotatorConfig config, RotatorTimings timings, std::shared_ptr<RotatorMailbox> mailbox,
                             QList<std::shared_ptr<const RotatorMailbox>> predecessors)
    : m_config(std::move(config))
    , m_timings(timings)
    , m_mailbox(std::move(mailbox))
    , m_predecessors(std::move(predecessors))
    , m_geometry(m_config.geometry())
    , m_ramp(m_config.softStart && supportsSpeed(m_config.proto))
{
}

RotatorWorker::~RotatorWorker() = default;

void RotatorWorker::report() { Q_EMIT reported(m_status); }

void RotatorWorker::pause(double seconds, bool commandsWake) const
{
    m_mailbox->wait(Clock::now() + span(seconds), commandsWake);
}

RotatorLinkResult<std::unique_ptr<RotatorSession>> RotatorWorker::openSession() const
{
    std::unique_ptr<RotatorLink> link;
    if (usesNetwork(m_config.proto)) {
        auto opened = TCPLink::connect(m_config.host, m_config.tcpPort, m_timings.connectTimeout);
        if (!opened)
            return std::unexpected(opened.error());
        link = std::move(*opened);
    } else {
        if (m_config.port.isEmpty())
            return std::unexpected(RotatorLinkError::open(RotatorStatus::noPortText()));
        auto opened = SerialLink::open(m_config.port, m_config.baud);
        if (!opened)
            return std::unexpected(opened.error());
        link = std::move(*opened);
    }
    return std::make_unique<RotatorSession>(m_config.proto, std::move(link));
}

void RotatorWorker::run()
{
    // The workers this one replaces let go of the port within their current
    // pass; opened before that, the port would be "in use".
    for (const auto& predecessor : std::as_const(m_predecessors)) {
        while (!predecessor->hasEnded() && !m_mailbox->isCancelled())
            predecessor->waitEnded(Clock::now() + span(predecessorSlice));
    }
    m_predecessors.clear();
    if (m_mailbox->isCancelled())
        return;
    for (;;) {
        auto session = openSession();
        if (!session) {
            m_status.connected = false;
            m_status.message = session.error().message();
            report();
            pause(m_timings.retryPause, false);
            if (m_mailbox->isCancelled())
                return;
            continue;
        }
        if (!m_status.connected) {
            m_status.message = RotatorStatus::waitingText();
            report();
        }
        if (m_mailbox->isCancelled()) {
            (*session)->close();
            return;
        }
        m_errors = 0;
        while (pass(**session) == Next::Pause) {
            report();
            pause(m_status.target ? m_timings.turningPoll : m_timings.idlePoll, true);
            if (m_mailbox->isCancelled()) {
                (*session)->close();
                return;
            }
        }
        // Dropped: a new connection after the pause.
        (*session)->close();
        pause(m_timings.retryPause, false);
        if (m_mailbox->isCancelled())
            return;
    }
}

RotatorWorker::Next RotatorWorker::pass(RotatorSession& session)
{
    if (auto done = passSteps(session); !done)
        return failed(done.error());
    m_errors = 0;
    return Next::Pause;
}

RotatorLinkResult<void> RotatorWorker::passSteps(RotatorSession& session)
{
    const RotatorMailbox::Commands commands = m_mailbox->take();
    if (commands.stop) {
        // A target that came with the stop is dropped.
        if (m_ramp && m_status.target) {
            if (auto slowed = session.setSpeed(1); !slowed)
                return slowed;
            // Let the rotator slow down before it is stopped; not cut short.
            std::this_thread::sleep_for(span(m_timings.stopRampPause));
            m_lastSpeed = 1;
        }
        if (auto stopped = session.stop(); !stopped)
            return stopped;
        m_turnStart.reset();
        m_status.target.reset();
    } else if (commands.target) {
        if (m_ramp) {
            m_lastSpeed = 1;
            if (auto slow = session.setSpeed(1); !slow)
                return slow;
        }
        const int raw = m_geometry.target(*commands.target, m_lastRaw);
        if (auto moved = session.moveTo(raw); !moved)
            return moved;
        m_status.target = *commands.target;
        m_turnStart = Clock::now();
    } else if (m_ramp && m_status.target && m_status.heading && m_turnStart) {
        const double left = std::abs(wrap180(*m_status.target - *m_status.heading));
        const double turning
            = std::chrono::duration<double>(Clock::now() - *m_turnStart).count() * m_timings.rampClockRate;
        const int level = RotatorRamp::speed(turning, left);
        if (level != m_lastSpeed) {
            if (auto sped = session.setSpeed(level); !sped)
                return sped;
            m_lastSpeed = level;
        }
    }

    auto raw = session.readPosition(m_timings.readTimeout);
    if (!raw)
        return std::unexpected(raw.error());
    m_lastRaw = *raw;
    m_status.heading = m_geometry.heading(*raw);
    m_status.connected = true;
    m_status.message = RotatorStatus::connectedText();

    if (m_status.target && std::abs(wrap180(*m_status.target - *m_status.heading)) <= arrivalTolerance) {
        m_turnStart.reset();
        m_status.target.reset();
    }
    return {};
}

RotatorWorker::Next RotatorWorker::failed(const RotatorLinkError& error)
{
    ++m_errors;
    const bool closed = error.kind == RotatorLinkError::Kind::Closed;
    // A controller that misses a poll or two now and then stays connected
    // for the user; the third miss in a row, or a lost connection, shows.
    const bool shown = closed || m_errors >= errorsBeforeShown;
    if (shown) {
        m_status.connected = false;
        m_status.message = error.message();
        report();
    }
    if (closed || (shown && usesNetwork(m_config.proto)))
        return Next::Drop;
    // A serial controller keeps its port and is polled again.
    return Next::Pause;
}
