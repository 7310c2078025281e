#pragma once

#include "rotator/RotatorConfig.h"
#include "rotator/RotatorLink.h"
#include "rotator/RotatorStatus.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QWaitCondition>

#include <chrono>
#include <memory>
#include <optional>

class RotatorSession;

// How long a rotator worker waits for what. The defaults are the
// application's; tests shorten them so they never sleep through a pause.
struct RotatorTimings {
    double connectTimeout = 5.0; // connecting to rotctld
    double retryPause = 2.0;     // after a connection failed or was dropped
    double readTimeout = 1.5;    // for the controller's position answer
    double idlePoll = 1.0;       // between polls while the rotator stands
    double turningPoll = 0.5;    // between polls while it turns
    double stopRampPause = 0.8;  // at speed 1 before a soft stop
    // Seconds of a turn counted per second of the clock by the soft-start
    // table (1.5, 3.0 and 4.5 s steps); above 1 the ramp runs faster.
    double rampClockRate = 1.0;
};

// Where the main thread leaves commands for one worker: the latest target
// (a newer one replaces it), a stop (which drops a pending target) and the
// order to end; and where the worker's thread notes that it has ended.
// Guarded by one lock, held only to read or write these.
class RotatorMailbox {
public:
    struct Commands {
        std::optional<double> target;
        bool stop = false;
    };

    void postTarget(double bearing);
    void postStop();
    void cancel();

    bool isCancelled() const;
    // Takes and clears the pending commands.
    Commands take();
    // Waits until the deadline, or until the worker is cancelled, or (with
    // `commandsWake`) until a command is pending; nothing is taken.
    void wait(std::chrono::steady_clock::time_point deadline, bool commandsWake) const;

    // The worker has returned and closed its connection.
    void markEnded();
    bool hasEnded() const;
    // Waits until the worker has ended or the deadline passed.
    void waitEnded(std::chrono::steady_clock::time_point deadline) const;

private:
    bool hasWork(bool commandsWake) const;

    mutable QMutex m_lock;
    mutable QWaitCondition m_posted;
    bool m_cancelled = false;
    bool m_ended = false;
    std::optional<double> m_target;
    bool m_stop = false;
};

// One configured rotator's connection, run on a thread of its own: opens
// the serial port or the rotctld connection, polls the azimuth (every 1.0 s
// standing, 0.5 s turning), turns and stops on command with the soft start
// where the controller takes a speed, notices arrival, counts errors and
// reconnects. Each state change goes out through `reported`.
//
// The worker never sends anything when it ends: cancelling only closes
// its connection.
class RotatorWorker : public QObject {
    Q_OBJECT
public:
    static constexpr double arrivalTolerance = 2.0; // degrees
    static constexpr int errorsBeforeShown = 3;     // misses in a row before the user sees one

    // `predecessors`: the mailboxes of every cancelled worker of this
    // rotator that may still be running. Their connections are left to close
    // before this worker opens its own, so a restart never finds its own
    // port in use. All of them, not only the newest: a cancelled worker
    // stops waiting for the ones before it.
    RotatorWorker(RotatorConfig config, RotatorTimings timings, std::shared_ptr<RotatorMailbox> mailbox,
                  QList<std::shared_ptr<const RotatorMailbox>> predecessors = {});
    ~RotatorWorker() override;

    const RotatorConfig& config() const { return m_config; }

    // The worker's whole life; returns once it has been cancelled.
    void run();

Q_SIGNALS:
    // A copy of the worker's status, emitted on the worker's thread.
    void reported(const RotatorStatus& status);

private:
    using Clock = std::chrono::steady_clock;
    enum class Next { Pause, Drop };

    RotatorLinkResult<std::unique_ptr<RotatorSession>> openSession() const;
    Next pass(RotatorSession& session);
    RotatorLinkResult<void> passSteps(RotatorSession& session);
    Next failed(const RotatorLinkError& error);
    void pause(double seconds, bool commandsWake) const;
    void report();

    const RotatorConfig m_config;
    const RotatorTimings m_timings;
    const std::shared_ptr<RotatorMailbox> m_mailbox;
    QList<std::shared_ptr<const RotatorMailbox>> m_predecessors;
    const RotatorGeometry m_geometry;
    // Soft start: only controllers with a speed command, when asked for.
    const bool m_ramp;

    RotatorStatus m_status;
    std::optional<Clock::time_point> m_turnStart;
    std::optional<double> m_lastRaw; // kept across reconnections
    int m_lastSpeed = 0;             // 0: none sent yet
    int m_errors = 0;                // in a row
};
