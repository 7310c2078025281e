#include "cluster/DXClusterClient.h"

#include "cluster/AlertSound.h"
#include "cluster/ClusterLogin.h"
#include "cluster/DXSpotParser.h"
#include "cluster/Notifier.h"
#include "kit/AppLog.h"
#include "support/Endpoints.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/VectorState.h"

#include <QMetaObject>
#include <QTcpSocket>

#include <utility>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

// Seconds a connection may sit idle before the system starts probing it.
constexpr int keepAliveIdleSeconds = 120;

std::chrono::milliseconds scaledBy(std::chrono::milliseconds wait, double factor)
{
    return std::chrono::milliseconds(std::max<qint64>(1, qRound64(double(wait.count()) * factor)));
}

} // namespace

DXClusterClient::Timing DXClusterClient::Timing::scaled(double factor) const
{
    Timing t = *this;
    for (std::chrono::milliseconds* wait :
         { &t.connectTimeout, &t.login, &t.commands, &t.reconnect, &t.settingsDebounce, &t.prune, &t.alertBatch,
           &t.countryFileTimeout, &t.countryFileLimit, &t.countryFileRetry, &t.countryFileStaleRetry })
        *wait = scaledBy(*wait, factor);
    return t;
}

DXClusterClient::Services DXClusterClient::Services::standard()
{
    Services services;
    services.supportFolder = AppLog::folder();
    services.countryFileURL = Endpoints::ctyBase() + QStringLiteral("/cty/cty.dat");
    services.notifier = std::make_shared<DesktopNotifier>();
    services.sound = std::make_shared<CanberraSound>();
    services.labels = MapData::prefixes();
    return services;
}

DXClusterClient::DXClusterClient(QObject* parent)
    : DXClusterClient(Settings::standard(), Timing {}, Services::standard(), parent)
{
}

DXClusterClient::DXClusterClient(Settings& settings, Timing timing, Services services, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_timing(std::move(timing))
    , m_services(std::move(services))
{
    const auto setUp = [this](QTimer& timer, std::chrono::milliseconds interval, bool singleShot, auto slot) {
        timer.setInterval(interval);
        timer.setSingleShot(singleShot);
        connect(&timer, &QTimer::timeout, this, slot);
    };
    // The session's timers belong to the connection in force: dropping it
    // stops them, so none of them ever acts on the next connection.
    setUp(m_connectTimer, m_timing.connectTimeout, true, [this] {
        if (m_socket && m_config)
            lost(ClusterMessage::couldNotReach(m_config->name, ClusterMessage::timedOut()));
    });
    setUp(m_loginTimer, m_timing.login, true, [this] { login(); });
    setUp(m_commandsTimer, m_timing.commands, true, [this] { sendLoginCommands(); });
    setUp(m_reconnectTimer, m_timing.reconnect, true, [this] {
        if (m_config && m_config->enabled)
            connectToNode();
    });
    setUp(m_applyTimer, m_timing.settingsDebounce, true, [this] { applySettings(); });
    setUp(m_pruneTimer, m_timing.prune, false, [this] { prune(); });
    setUp(m_alertTimer, m_timing.alertBatch, true, [this] { flushAlerts(); });
    m_countryFileRetryTimer.setSingleShot(true);
    connect(&m_countryFileRetryTimer, &QTimer::timeout, this, [this] { updateCountryFile(); });

    loadCountriesAndLogbook();
    connect(&m_settings, &Settings::changed, this, [this](const QString& key) {
        if (key == QLatin1String(SettingKeys::alertSound.name))
            m_soundFailed = false;
        scheduleApply();
    });
    m_pruneTimer.start();
    applySettings();
}

DXClusterClient::~DXClusterClient()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        delete m_socket;
    }
}

void DXClusterClient::setStatus(const Status& status)
{
    if (m_status == status)
        return;
    m_status = status;
    AppLog::file().write(QStringLiteral("DX cluster: ") + m_status.text());
    Q_EMIT statusChanged();
}

// --- Settings -------------------------------------------------------------

void DXClusterClient::scheduleApply() { m_applyTimer.start(); }

void DXClusterClient::applySettings()
{
    Config fresh = Config::read(m_settings);
    if (m_config && *m_config == fresh)
        return;
    m_config = std::move(fresh);
    disconnectFromNode();
    if (!m_config->enabled) {
        setStatus(Status::off());
        return;
    }
    // Desktop notifications need no permission on this platform: nothing is
    // asked for before connecting.
    connectWhenComplete();
}

void DXClusterClient::connectWhenComplete()
{
    if (m_config->callsign.isEmpty()) {
        setStatus(Status::needsCallsign());
        return;
    }
    if (m_config->host.isEmpty()) {
        setStatus(Status::failed(ClusterMessage::noAddress())); // waits for the settings, no retry
        return;
    }
    connectToNode();
}

// --- Prune loop -----------------------------------------------------------

QDateTime DXClusterClient::cutoff(const QDateTime& now) const
{
    return now.addSecs(-60 * m_settings.get(SettingKeys::clusterSpotMinutes));
}

void DXClusterClient::prune()
{
    const QDateTime windowStart = cutoff(m_timing.now());
    const qsizetype before = m_book.spots().size();
    m_book.prune(windowStart);
    if ((!m_config || !m_config->enabled) && !m_book.spots().isEmpty())
        m_book.removeAll();
    if (m_book.spots().size() != before)
        Q_EMIT bookChanged();
    pruneAlertMemory(windowStart);
}

// --- Connection -----------------------------------------------------------

void DXClusterClient::connectToNode()
{
    if (!m_config)
        return;
    m_reconnectTimer.stop();
    if (m_socket)
        disconnectFromNode();
    setStatus(Status::connecting(m_config->name));
    startSession();
}

void DXClusterClient::reconnect()
{
    disconnectFromNode();
    if (m_config && m_config->enabled)
        connectWhenComplete();
}

void DXClusterClient::disconnectFromNode()
{
    m_connectTimer.stop();
    m_loginTimer.stop();
    m_commandsTimer.stop();
    m_reconnectTimer.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_linkUp = false;
    m_loggedIn = false;
    m_pendingLoss.reset();
    m_loginCommands.clear();
}

void DXClusterClient::startSession()
{
    const quint64 generation = ++m_generation;
    m_telnet = TelnetFilter();
    m_lines = LineSplitter();
    m_linkUp = false;
    m_loggedIn = false;
    m_readScheduled = false;
    m_pendingLoss.reset();

    m_socket = new QTcpSocket(this);
    m_socket->setReadBufferSize(maxReadAhead);
    connect(m_socket, &QTcpSocket::connected, this, [this, generation] { linkUp(generation); });
    // Reading and losing run as events of their own, never inside the
    // socket's signals, so dropping the socket there is always safe.
    connect(m_socket, &QTcpSocket::readyRead, this, [this, generation] { scheduleRead(generation); });
    connect(m_socket, &QTcpSocket::errorOccurred, this,
            [this, generation](QAbstractSocket::SocketError error) { linkError(generation, error); });
    m_connectTimer.start();
    m_socket->connectToHost(m_config->host, m_config->port);
}

void DXClusterClient::linkUp(quint64 generation)
{
    if (generation != m_generation || !m_socket || !m_config)
        return;
    m_linkUp = true;
    m_connectTimer.stop();
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const int idle = keepAliveIdleSeconds;
    ::setsockopt(int(m_socket->socketDescriptor()), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setStatus(Status::connected(m_config->name));
    m_loginTimer.start();
}

void DXClusterClient::linkError(quint64 generation, QAbstractSocket::SocketError error)
{
    if (generation != m_generation || !m_socket || !m_config || m_pendingLoss)
        return;
    const QString& name = m_config->name;
    const QString what = ClusterMessage::socketError(error, m_config->host);
    if (!m_linkUp)
        m_pendingLoss = ClusterMessage::couldNotReach(name, what);
    else if (error == QAbstractSocket::RemoteHostClosedError)
        m_pendingLoss = ClusterMessage::closed(name);
    else
        m_pendingLoss = ClusterMessage::dropped(name, what);
    // The loss is reported once the bytes that came before it are handled.
    scheduleRead(generation);
}

void DXClusterClient::scheduleRead(quint64 generation)
{
    if (m_readScheduled)
        return;
    m_readScheduled = true;
    QMetaObject::invokeMethod(
        this, [this, generation] { readSlice(generation); }, Qt::QueuedConnection);
}

void DXClusterClient::readSlice(quint64 generation)
{
    if (generation != m_generation || !m_socket)
        return;
    m_readScheduled = false;
    const QByteArray chunk = m_socket->read(maxChunk);
    if (!chunk.isEmpty())
        ingest(chunk);
    if (generation != m_generation || !m_socket)
        return;
    if (m_socket->bytesAvailable() > 0)
        scheduleRead(generation);
    else if (m_pendingLoss)
        lost(*m_pendingLoss); // taken by value: dropping the connection forgets the loss
}

void DXClusterClient::lost(QString message)
{
    disconnectFromNode();
    setStatus(Status::failed(ClusterMessage::retrying(message)));
    m_reconnectTimer.start();
}

// --- Session --------------------------------------------------------------

void DXClusterClient::ingest(QByteArrayView chunk)
{
    VectorState::clean();   // the event loop ran anything at all before this chunk
    m_alertContext.reset(); // the alert settings are read again for this chunk
    // The clock and the spot window are read once per chunk.
    const QDateTime now = m_timing.now();
    const QDateTime windowStart = cutoff(now);
    const QStringList lines = m_lines.append(m_telnet.filter(chunk));
    bool bookTouched = false;
    for (const QString& line : lines)
        bookTouched |= handleLine(line, now, windowStart);
    if (m_recentLines.size() > maxRecentLines)
        m_recentLines.remove(0, m_recentLines.size() - maxRecentLines);
    // A prompt waits for input without ending its line.
    if (!m_loggedIn && ClusterLogin::promptAsksForCall(m_lines.unfinished()))
        login();
    if (!lines.isEmpty())
        Q_EMIT recentLinesChanged();
    if (bookTouched)
        Q_EMIT bookChanged();
}

bool DXClusterClient::handleLine(const QString& line, const QDateTime& received, const QDateTime& windowStart)
{
    m_recentLines.append(line);
    if (!m_loggedIn && ClusterLogin::lineAsksForCall(line))
        login();
    std::optional<DXSpot> spot = DXSpotParser::spot(line, received);
    if (!spot || spot->time < windowStart)
        return false;
    m_book.add(*spot);
    checkAlerts(*spot);
    return true;
}

void DXClusterClient::login()
{
    if (m_loggedIn || !m_config || !m_socket)
        return;
    m_loggedIn = true;
    m_loginTimer.stop();
    send(m_config->callsign);
    m_loginCommands = ClusterLogin::linesAfterCallsign(m_config->extraCommands);
    m_commandsTimer.start();
}

void DXClusterClient::sendLoginCommands()
{
    if (!m_socket)
        return;
    for (const QString& line : std::exchange(m_loginCommands, {}))
        send(line);
}

void DXClusterClient::send(QStringView line)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_socket->write(ClusterLogin::encodeLine(line));
}
