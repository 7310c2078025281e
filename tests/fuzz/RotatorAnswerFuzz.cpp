// What a rotator controller sends back, in each dialect: the answer readers,
// the link that cuts the bytes into lines, and the session that asks for
// the azimuth. The first byte chooses the dialect and how the link ends,
// the next eight the cuts; the rest is what the controller sends.

#include "FuzzSupport.h"

#include "rotator/RotatorGeometry.h"
#include "rotator/RotatorLink.h"
#include "rotator/RotatorProtocol.h"
#include "rotator/RotatorSession.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cmath>

namespace {

// A link over one end of a socket pair; the target writes the other end.
class PairLink : public FDLink {
public:
    explicit PairLink(int fd)
        : FDLink(fd, 1.0, true)
    {
    }
};

// A link that plays back lines and then goes quiet: either closed at once
// or silent until the session's time-out.
class ScriptedLink : public RotatorLink {
public:
    ScriptedLink(QStringList lines, QString unterminated, bool staysOpen)
        : m_lines(std::move(lines))
        , m_unterminated(std::move(unterminated))
        , m_staysOpen(staysOpen)
    {
    }

    QByteArray written;

    RotatorLinkResult<void> write(const QString& text) override
    {
        written += text.toUtf8();
        return {};
    }
    RotatorLinkResult<std::optional<QString>> readLine(quint8, double) override
    {
        if (!m_lines.isEmpty())
            return m_lines.takeFirst();
        if (m_staysOpen || !m_quietOnce) {
            m_quietOnce = true;
            return std::optional<QString>();
        }
        return std::unexpected(RotatorLinkError::closed());
    }
    RotatorLinkResult<QStringList> readAvailableLines(quint8) override
    {
        // Nothing is stale before the query; after the answer, the rest
        // comes as a burst.
        if (written.isEmpty())
            return QStringList();
        return std::exchange(m_lines, {});
    }
    QString takeUnterminated() override { return std::exchange(m_unterminated, {}); }
    void close() override { }

private:
    QStringList m_lines;
    QString m_unterminated;
    bool m_staysOpen = false;
    bool m_quietOnce = false;
};

// The lines a link makes of the bytes: cut at the terminator (and at LF for
// the CR dialects), empty ones dropped.
QStringList referenceLines(const QByteArray& bytes, quint8 terminator, QByteArray& rest)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = quint8(bytes[i]);
        if (b != terminator && !(terminator == 13 && b == 10))
            continue;
        if (i > start)
            lines.append(QString::fromUtf8(bytes.sliced(start, i - start)));
        start = i + 1;
    }
    rest = bytes.sliced(start);
    return lines;
}

bool isFiniteReading(std::optional<double> value) { return !value || std::isfinite(*value); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Fuzz::Input input(data, size);
    const std::uint8_t choice = input.byte();
    const RotatorProtocol proto = RotatorProtocols::allCases[choice % 4];
    const bool staysOpen = (choice >> 2) % 16 == 0;
    std::uint64_t seed = 0;
    for (int i = 0; i < 8; ++i)
        seed = seed << 8 | input.byte();
    const QByteArray answer = input.rest();
    const quint8 end = terminator(proto);

    // The readers: only finite readings, and the complete answers inside
    // unterminated bytes are answers of their own.
    QByteArray rest;
    const QStringList lines = referenceLines(answer, end, rest);
    for (const QString& line : lines)
        FUZZ_CHECK(isFiniteReading(parsePosition(proto, line)));
    const auto unterminated = parseUnterminated(proto, QString::fromUtf8(rest));
    FUZZ_CHECK(isFiniteReading(unterminated));
    FUZZ_CHECK(isGS232(proto) || !unterminated);

    // The link, fed in pieces: the same lines as cut in one piece, as long
    // as no line outgrows the receive buffer.
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0) {
        PairLink link(pair[0]);
        QStringList received;
        bool open = true;
        for (QByteArrayView chunk : Fuzz::chunks(answer, seed, 512)) {
            if (::write(pair[1], chunk.data(), std::size_t(chunk.size())) != chunk.size())
                open = false;
            auto got = link.readAvailableLines(end);
            FUZZ_CHECK(got.has_value());
            received += *got;
        }
        ::close(pair[1]);
        // What the buffer holds at most: an unfinished line and a piece.
        qsizetype longest = rest.size();
        for (const QString& line : lines)
            longest = std::max(longest, line.toUtf8().size());
        if (open && longest + 512 < FDLink::bufferCap) {
            FUZZ_CHECK(received == lines);
            FUZZ_CHECK(link.takeUnterminated() == QString::fromUtf8(rest));
        }
        // The controller's end hanging up is seen.
        const auto closed = link.readAvailableLines(end);
        FUZZ_CHECK(!closed && closed.error().kind == RotatorLinkError::Kind::Closed);
    }

    // The session asking for the azimuth.
    auto scripted = std::make_unique<ScriptedLink>(lines, QString::fromUtf8(rest), staysOpen);
    ScriptedLink* script = scripted.get();
    RotatorSession session(proto, std::move(scripted));
    const auto reading = session.readPosition(staysOpen ? 0.001 : 10);
    FUZZ_CHECK(script->written == positionQuery(proto));
    if (reading) {
        FUZZ_CHECK(std::isfinite(*reading));
        const RotatorGeometry geometry(450, -12.5);
        const double heading = geometry.heading(*reading);
        FUZZ_CHECK(heading >= 0 && heading <= 360); // a tiny negative angle wraps to 360
        const int target = geometry.target(heading, *reading);
        FUZZ_CHECK(target >= 0 && target <= 450);
    } else if (reading.error().kind == RotatorLinkError::Kind::NotUnderstood) {
        // Shown to the user: at most 40 characters, printable ASCII or dots.
        const QString shown = reading.error().text;
        FUZZ_CHECK(shown.size() <= 40);
        for (const QChar c : shown)
            FUZZ_CHECK((c >= u' ' && c <= u'~') || c == QChar(0x00B7));
    }
    return 0;
}
