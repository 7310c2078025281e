#include "rotator/RotatorManager.h"

#include "geo/GeoMath.h"
#include "kit/AppLog.h"
#include "support/NumberText.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cmath>

namespace {

void log(const QString& message) { AppLog::file().write(message); }

} // namespace

RotatorManager::RotatorManager(QObject* parent)
    : RotatorManager(Settings::standard(), RotatorTimings {}, parent)
{
}

RotatorManager::RotatorManager(Settings& settings, const RotatorTimings& timings, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_timings(timings)
{
    reload();
    connect(&m_settings, &Settings::changed, this, [this](const QString& key) {
        if (isKey(key, SettingKeys::rotators))
            reload();
    });
}

RotatorManager::~RotatorManager()
{
    for (const Running& running : std::as_const(m_workers))
        running.mailbox->cancel();
    const QDeadlineTimer deadline(joinMilliseconds);
    for (QThread* thread : std::as_const(m_threads)) {
        // A worker still blocked after the bound (a name look-up that hangs)
        // is left to end on its own: destroying its thread under it would
        // abort the process. It reports to no one any more.
        if (thread->wait(deadline))
            delete thread;
    }
}

std::optional<RotatorManager::Status> RotatorManager::status(const QUuid& id) const
{
    const auto it = m_status.constFind(id);
    if (it == m_status.cend())
        return std::nullopt;
    return *it;
}

void RotatorManager::reload()
{
    const QList<RotatorConfig> list = RotatorConfig::load(m_settings);
    if (list == m_rotators && m_workers.size() == list.size())
        return;
    const bool listChanged = list != m_rotators;
    m_rotators = list;

    // Any change of a rotator's configuration restarts its worker.
    const QList<QUuid> ids = m_workers.keys();
    for (const QUuid& id : ids) {
        const RotatorConfig& running = m_workers[id].config;
        const bool unchanged = std::any_of(list.cbegin(), list.cend(), [&](const RotatorConfig& config) {
            return config.id == id && config == running;
        });
        if (unchanged)
            continue;
        m_workers[id].mailbox->cancel();
        m_retiring[id].append(m_workers[id].mailbox);
        m_workers.remove(id);
        m_status.remove(id);
        Q_EMIT statusChanged(id);
    }
    for (auto& retiring : m_retiring)
        retiring.removeIf([](const auto& mailbox) { return mailbox->hasEnded(); });
    m_retiring.removeIf([](const auto& retiring) { return retiring.value().isEmpty(); });
    // A repeated id gets no second worker.
    for (const RotatorConfig& config : list) {
        if (m_workers.contains(config.id))
            continue;
        start(config);
        m_status.insert(config.id, Status {});
        Q_EMIT statusChanged(config.id);
    }
    // Told once the workers and their status are in step with the list.
    if (listChanged)
        Q_EMIT rotatorsChanged();
}

void RotatorManager::start(const RotatorConfig& config)
{
    const quint64 serial = m_nextSerial++;
    auto mailbox = std::make_shared<RotatorMailbox>();
    auto* worker = new RotatorWorker(config, m_timings, mailbox, m_retiring.value(config.id));
    // The worker lives and dies on its thread; the manager keeps only the
    // mailbox and the thread to join.
    QThread* thread = QThread::create([worker, mailbox] {
        worker->run();
        mailbox->markEnded();
        delete worker;
    });
    worker->moveToThread(thread);
    connect(worker, &RotatorWorker::reported, this,
            [this, id = config.id, serial](const Status& status) { update(id, serial, status); });
    connect(thread, &QThread::finished, this, [this, thread] { reap(thread); });
    m_workers.insert(config.id, Running { config, mailbox, serial });
    m_threads.append(thread);
    thread->start();
}

void RotatorManager::reap(QThread* thread)
{
    if (!m_threads.removeOne(thread))
        return;
    thread->wait();
    delete thread;
}

QString RotatorManager::nameOf(const QUuid& id) const
{
    for (const RotatorConfig& config : m_rotators) {
        if (config.id == id)
            return config.name;
    }
    return RotatorConfig {}.name;
}

void RotatorManager::update(const QUuid& id, quint64 serial, const Status& status)
{
    // Reports of a worker that was replaced or removed are dropped.
    const auto running = m_workers.constFind(id);
    if (running == m_workers.cend() || running->serial != serial)
        return;
    const auto current = m_status.constFind(id);
    // Logged: the first report, each change of the connection, and each new
    // message while not connected (so a repeated failure is logged once).
    const bool first = current == m_status.cend();
    if (first || current->connected != status.connected || (!status.connected && current->message != status.message))
        log(QStringLiteral("Rotator ") + nameOf(id)
                           + QStringLiteral(": ") + (status.connected ? QStringLiteral("connected") : status.message));
    if (first || *current != status) {
        m_status.insert(id, status);
        Q_EMIT statusChanged(id);
    }
}

void RotatorManager::turn(const QUuid& id, double bearing)
{
    const auto config
        = std::find_if(m_rotators.cbegin(), m_rotators.cend(), [&](const RotatorConfig& c) { return c.id == id; });
    if (config == m_rotators.cend() || !std::isfinite(bearing))
        return;
    log(QStringLiteral("Rotator ") + config->name
                       + QStringLiteral(": turn to ") + NumberText::fixed(bearing, 0) + QChar(0x00B0));
    if (const auto running = m_workers.constFind(id); running != m_workers.cend())
        running->mailbox->postTarget(wrap360(bearing));
}

void RotatorManager::stop(const QUuid& id)
{
    if (const auto running = m_workers.constFind(id); running != m_workers.cend())
        running->mailbox->postStop();
}

void RotatorManager::stopAll()
{
    for (const Running& running : std::as_const(m_workers))
        running.mailbox->postStop();
}
