#include "support/FakeRotatorController.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <stdexcept>

FakeRotatorController::FakeRotatorController(Dialect dialect)
    : m_dialect(dialect)
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    // Raw from the start, so nothing is echoed back before the link sets
    // the line up itself.
    termios raw {};
    ::tcgetattr(m_slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_slave, TCSANOW, &raw);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_portPath = QString::fromLocal8Bit(name);
    m_lastAdvance = Clock::now();
    m_thread = std::thread([this] { run(); });
}

FakeRotatorController::~FakeRotatorController()
{
    m_quit = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

void FakeRotatorController::setAzimuth(double degrees)
{
    std::lock_guard lock(m_mutex);
    m_azimuth = degrees;
}

double FakeRotatorController::azimuth() const
{
    std::lock_guard lock(m_mutex);
    return m_azimuth;
}

void FakeRotatorController::setDegreesPerSecond(double rate)
{
    std::lock_guard lock(m_mutex);
    m_rate = rate;
}

void FakeRotatorController::setAnswers(Answers answers)
{
    std::lock_guard lock(m_mutex);
    m_answers = answers;
}

void FakeRotatorController::setCustomAnswer(const QByteArray& bytes)
{
    std::lock_guard lock(m_mutex);
    m_answers = Answers::Custom;
    m_customAnswer = bytes;
}

void FakeRotatorController::setAnswerDelay(double seconds)
{
    std::lock_guard lock(m_mutex);
    m_delay = seconds;
}

void FakeRotatorController::setChatter(const QByteArray& line, double seconds)
{
    std::lock_guard lock(m_mutex);
    m_chatterLine = line;
    m_chatterSeconds = seconds;
}

void FakeRotatorController::send(const QByteArray& bytes)
{
    std::lock_guard lock(m_mutex);
    m_toSend.append(bytes);
}

bool FakeRotatorController::sentAll() const
{
    std::lock_guard lock(m_mutex);
    return m_toSend.isEmpty();
}

void FakeRotatorController::hangUp()
{
    m_quit = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

QList<QByteArray> FakeRotatorController::commands() const
{
    std::lock_guard lock(m_mutex);
    return m_commands;
}

bool FakeRotatorController::waitForCommands(int count, double seconds) const
{
    const auto deadline
        = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < deadline) {
        {
            std::lock_guard lock(m_mutex);
            if (m_commands.size() >= count)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::lock_guard lock(m_mutex);
    return m_commands.size() >= count;
}

std::optional<double> FakeRotatorController::target() const
{
    std::lock_guard lock(m_mutex);
    return m_target;
}

int FakeRotatorController::speedLevel() const
{
    std::lock_guard lock(m_mutex);
    return m_speedLevel;
}

bool FakeRotatorController::isTurning() const
{
    std::lock_guard lock(m_mutex);
    return m_target && *m_target != m_azimuth;
}

void FakeRotatorController::writeAll(const QByteArray& bytes)
{
    // Bytes the link does not take within about a second are lost, as on a
    // real line; the controller thread never blocks for long.
    qsizetype done = 0;
    int waits = 0;
    while (done < bytes.size() && !m_quit) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        if (++waits > 100)
            return;
        pollfd p { m_master, POLLOUT, 0 };
        ::poll(&p, 1, 10);
    }
}

QByteArray FakeRotatorController::positionAnswer() const
{
    const int az = int(std::lround(m_azimuth));
    switch (m_dialect) {
    case Dialect::GS232A:
        return "+0" + QByteArray::number(az).rightJustified(3, '0');
    case Dialect::GS232B:
        return "AZ=" + QByteArray::number(az).rightJustified(3, '0');
    case Dialect::Prosistel:
        return "\x02"
               "A,?,"
            + QByteArray::number(az) + ",R";
    }
    return {};
}

void FakeRotatorController::advance(Clock::time_point now)
{
    const double dt = std::chrono::duration<double>(now - m_lastAdvance).count();
    m_lastAdvance = now;
    if (!m_target)
        return;
    const double step = m_rate * std::clamp(m_speedLevel, 1, 4) / 4.0 * dt;
    const double gap = *m_target - m_azimuth;
    m_azimuth = std::abs(gap) <= step ? *m_target : m_azimuth + std::copysign(step, gap);
}

void FakeRotatorController::handle(const QByteArray& received, Clock::time_point now)
{
    QByteArray command = received;
    command.replace('\x02', QByteArray());
    m_commands.append(received);

    const bool gs232 = m_dialect != Dialect::Prosistel;
    const bool query = gs232 ? command == "C" : command == "A?";
    if (query) {
        QByteArray answer;
        switch (m_answers) {
        case Answers::Normal:
            answer = positionAnswer() + '\r';
            break;
        case Answers::Silent:
            return;
        case Answers::Garbled:
            answer = "?>\r";
            break;
        case Answers::Unterminated:
            answer = positionAnswer();
            break;
        case Answers::Custom:
            answer = m_customAnswer;
            break;
        }
        m_pending.append(
            { now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(m_delay)), answer });
        return;
    }

    if (gs232 && command == "S") {
        m_target.reset();
    } else if (gs232 && command.startsWith('M')) {
        bool ok = false;
        const int to = command.mid(1).toInt(&ok);
        if (ok)
            m_target = to;
    } else if (gs232 && command.startsWith('X')) {
        bool ok = false;
        const int level = command.mid(1).toInt(&ok);
        if (ok)
            m_speedLevel = level;
    } else if (!gs232 && command.startsWith("AG")) {
        bool ok = false;
        const int to = command.mid(2).toInt(&ok);
        if (ok && to == 997)
            m_target.reset();
        else if (ok)
            m_target = to;
    } else {
        return; // unknown: a real controller ignores it too
    }
    if (!m_chatterLine.isEmpty()) {
        m_chatterUntil
            = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(m_chatterSeconds));
        m_nextChatter = now;
    }
}

void FakeRotatorController::run()
{
    while (!m_quit) {
        pollfd p { m_master, POLLIN, 0 };
        ::poll(&p, 1, 5);
        char chunk[256];
        const ssize_t n = (p.revents & POLLIN) ? ::read(m_master, chunk, sizeof chunk) : 0;

        std::lock_guard lock(m_mutex);
        const auto now = Clock::now();
        advance(now);
        if (n > 0)
            m_received.append(chunk, n);
        for (qsizetype end; (end = m_received.indexOf('\r')) >= 0;) {
            const QByteArray command = m_received.left(end);
            m_received.remove(0, end + 1);
            handle(command, now);
        }
        for (const QByteArray& bytes : std::as_const(m_toSend))
            writeAll(bytes);
        m_toSend.clear();
        for (qsizetype i = 0; i < m_pending.size();) {
            if (m_pending[i].due <= now) {
                writeAll(m_pending[i].bytes);
                m_pending.removeAt(i);
            } else {
                ++i;
            }
        }
        if (now < m_chatterUntil && now >= m_nextChatter) {
            writeAll(m_chatterLine + '\r');
            m_nextChatter = now + std::chrono::milliseconds(50);
        }
    }
}
