#pragma once

#include "rotator/RotatorConfig.h"
#include "rotator/RotatorStatus.h"
#include "rotator/RotatorWorker.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QUuid>

#include <memory>
#include <optional>

class QThread;
class Settings;

// The application's antenna rotators (one manager, owned by CorvantaApp,
// on the main thread). It publishes the configured rotators and a live
// status per rotator, runs one worker thread per rotator, and follows the
// stored list: a rotator whose configuration changed in any way (even its
// colour) gets a fresh worker, one that was removed loses its worker, the
// others run on untouched.
//
// Commands are left in the worker's mailbox and never wait for the
// controller. When the manager is destroyed its workers are told to end
// and joined; the controllers are told nothing.
class RotatorManager : public QObject {
    Q_OBJECT
public:
    using Status = RotatorStatus;

    // How long destruction waits for the workers to end. A worker notices
    // within one pass (a position read, a command and its drain, the soft
    // stop's pause) or one connection attempt.
    static constexpr int joinMilliseconds = 6000;

    // Follows the application's settings with the application's timings.
    explicit RotatorManager(QObject* parent = nullptr);
    RotatorManager(Settings& settings, const RotatorTimings& timings, QObject* parent = nullptr);
    ~RotatorManager() override;

    // The configured rotators as last loaded, in stored order.
    const QList<RotatorConfig>& rotators() const { return m_rotators; }
    // One entry per running worker.
    const QHash<QUuid, Status>& status() const { return m_status; }
    std::optional<Status> status(const QUuid& id) const;

    // Brings the workers in step with the stored list; cheap when the list
    // did not change.
    void reload();
    // Logs the request and hands the bearing (any finite value, reduced to
    // 0...360) to that rotator's worker; a newer turn replaces one the
    // worker has not taken yet. Unknown rotators are ignored.
    void turn(const QUuid& id, double bearing);
    // Asks one rotator, or all, to stop; a pending turn is dropped.
    void stop(const QUuid& id);
    void stopAll();

Q_SIGNALS:
    void rotatorsChanged();
    // The status of one rotator changed, appeared or went away.
    void statusChanged(const QUuid& id);

private:
    struct Running {
        RotatorConfig config;
        std::shared_ptr<RotatorMailbox> mailbox;
        quint64 serial = 0; // tells this worker's reports from an earlier one's
    };

    void start(const RotatorConfig& config);
    void update(const QUuid& id, quint64 serial, const Status& status);
    void reap(QThread* thread);
    QString nameOf(const QUuid& id) const;

    Settings& m_settings;
    const RotatorTimings m_timings;
    QList<RotatorConfig> m_rotators;
    QHash<QUuid, Status> m_status;
    QHash<QUuid, Running> m_workers;
    // The mailboxes of cancelled workers, by rotator, until they have ended:
    // every new worker of that rotator waits for all of them.
    QHash<QUuid, QList<std::shared_ptr<const RotatorMailbox>>> m_retiring;
    // Every worker thread not yet joined: running ones and cancelled ones
    // that are still finishing their pass.
    QList<QThread*> m_threads;
    quint64 m_nextSerial = 1;
};
