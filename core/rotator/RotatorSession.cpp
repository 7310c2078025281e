#include "rotator/RotatorSession.h"

#include <algorithm>
#include <chrono>

namespace {

using Clock = RotatorLink::Clock;

constexpr double readSlice = 0.25;
constexpr double elevationTimeout = 0.3;
constexpr double drainSpan = 0.5;
constexpr double drainRead = 0.15;
constexpr int shownLength = 40;

double secondsLeft(Clock::time_point deadline)
{
    return std::chrono::duration<double>(deadline - Clock::now()).count();
}

// The answer as the user is shown it: its first 40 characters, anything but
// printable ASCII (control bytes, line ends, accented letters) as a dot.
QString shownAnswer(const QString& answer)
{
    QString shown;
    const QList<uint> codePoints = answer.toUcs4();
    for (qsizetype i = 0; i < codePoints.size() && i < shownLength; ++i) {
        const uint c = codePoints[i];
        shown += (c >= 0x20 && c <= 0x7E) ? QChar(char16_t(c)) : QChar(u'\u00B7');
    }
    return shown;
}

} // namespace

RotatorSession::RotatorSession(RotatorProtocol proto, std::unique_ptr<RotatorLink> link)
    : m_proto(proto)
    , m_link(std::move(link))
{
}

void RotatorSession::close() { m_link->close(); }

RotatorLinkResult<double> RotatorSession::readPosition(double timeout)
{
    const quint8 end = terminator(m_proto);

    // Stale answers and echoes of earlier commands would be taken for the
    // answer to this query.
    if (auto stale = m_link->readAvailableLines(end); !stale)
        return std::unexpected(stale.error());
    if (auto sent = m_link->write(QString::fromUtf8(positionQuery(m_proto))); !sent)
        return std::unexpected(sent.error());

    const auto deadline = RotatorLink::deadlineAfter(timeout);
    if (deadline <= Clock::now())
        return std::unexpected(RotatorLinkError::noAnswer());

    std::optional<double> value;
    std::optional<QString> lastAnswer;
    while (!value && Clock::now() < deadline) {
        auto line = m_link->readLine(end, std::min(secondsLeft(deadline), readSlice));
        if (!line)
            return std::unexpected(line.error());
        if (*line) {
            value = parsePosition(m_proto, **line);
            if (!value)
                lastAnswer = **line;
        } else if (isGS232(m_proto)) {
            // Some GS-232 interfaces never end their answer; after a quiet
            // quarter second what came is taken as it is.
            const QString text = m_link->takeUnterminated();
            if (auto found = parseUnterminated(m_proto, text))
                return *found;
            if (!text.isEmpty())
                lastAnswer = text;
        }
    }

    if (!value) {
        if (lastAnswer)
            return std::unexpected(RotatorLinkError::notUnderstood(shownAnswer(*lastAnswer)));
        return std::unexpected(RotatorLinkError::noAnswer());
    }

    if (m_proto == RotatorProtocol::rotctld) {
        // rotctld answers with azimuth and elevation; the elevation line
        // must not be left for the next query. Whatever happens here, the
        // azimuth stands.
        (void)m_link->readLine(end, elevationTimeout);
        return *value;
    }
    // A burst of answers: the newest one counts.
    auto waiting = m_link->readAvailableLines(end);
    if (!waiting)
        return std::unexpected(waiting.error());
    for (const QString& line : std::as_const(*waiting)) {
        if (auto newer = parsePosition(m_proto, line))
            value = newer;
    }
    return *value;
}

void RotatorSession::drain()
{
    const auto deadline = RotatorLink::deadlineAfter(drainSpan);
    while (Clock::now() < deadline) {
        auto line = m_link->readLine(terminator(m_proto), drainRead);
        if (!line || !*line)
            return;
    }
}

RotatorLinkResult<void> RotatorSession::command(const QByteArray& text)
{
    if (auto sent = m_link->write(QString::fromUtf8(text)); !sent)
        return sent;
    drain();
    return {};
}

RotatorLinkResult<void> RotatorSession::moveTo(int azimuth) { return command(moveCommand(m_proto, azimuth)); }

RotatorLinkResult<void> RotatorSession::stop() { return command(stopCommand(m_proto)); }

RotatorLinkResult<void> RotatorSession::setSpeed(int level)
{
    const auto text = speedCommand(m_proto, level);
    if (!text)
        return {};
    return command(*text);
}

namespace RotatorRamp {

int speed(double secondsTurning, double degreesLeft)
{
    const double t = secondsTurning;
    const double d = degreesLeft;
    const int up = t < 1.5 ? 1 : t < 3.0 ? 2 : t < 4.5 ? 3 : 4;
    const int down = d < 8 ? 1 : d < 20 ? 2 : d < 35 ? 3 : 4;
    return std::min(up, down);
}

} // namespace RotatorRamp
