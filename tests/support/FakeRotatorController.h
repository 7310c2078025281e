#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

// A rotator controller at the far end of a pseudo-terminal, for tests of
// serial links and sessions. It speaks GS-232A, GS-232B or Prosistel: it
// answers position queries, turns towards a move target at a set rate,
// keeps the speed level it was given and stops. It can be told to answer
// late, garbled, without terminator or not at all, and to chatter after
// each command.
class FakeRotatorController {
public:
    enum class Dialect { GS232A, GS232B, Prosistel };
    enum class Answers {
        Normal,       // the dialect's position answer and CR
        Silent,       // nothing at all
        Garbled,      // "?>" CR, as a confused interface would
        Unterminated, // the position answer without CR
        Custom,       // the bytes given to setCustomAnswer, as they are
    };

    explicit FakeRotatorController(Dialect dialect);
    ~FakeRotatorController();
    FakeRotatorController(const FakeRotatorController&) = delete;
    FakeRotatorController& operator=(const FakeRotatorController&) = delete;

    // The device path a link opens, such as "/dev/pts/7".
    QString portPath() const { return m_portPath; }

    void setAzimuth(double degrees);
    double azimuth() const;
    // The rate at speed level 4; GS-232 levels 1 to 3 turn at a quarter,
    // half and three quarters of it.
    void setDegreesPerSecond(double rate);
    void setAnswers(Answers answers);
    void setCustomAnswer(const QByteArray& bytes);
    void setAnswerDelay(double seconds);
    // After each command other than a query, send this line (with CR) every
    // 50 ms for `seconds`.
    void setChatter(const QByteArray& line, double seconds);

    // Bytes pushed to the link now, as they are.
    void send(const QByteArray& bytes);
    // Whether the controller's thread has written all that was sent (a busy
    // machine may run it late).
    bool sentAll() const;
    // Closes the controller's end, as an unplugged adapter would.
    void hangUp();

    // Every command received so far, without its CR.
    QList<QByteArray> commands() const;
    // Waits until at least `count` commands have arrived.
    bool waitForCommands(int count, double seconds) const;
    std::optional<double> target() const;
    int speedLevel() const;
    bool isTurning() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        QByteArray bytes;
    };

    void run();
    void handle(const QByteArray& command, Clock::time_point now);
    void advance(Clock::time_point now);
    QByteArray positionAnswer() const;
    void writeAll(const QByteArray& bytes);

    const Dialect m_dialect;
    int m_master = -1;
    int m_slave = -1;
    QString m_portPath;
    std::thread m_thread;
    std::atomic<bool> m_quit { false };

    mutable std::mutex m_mutex;
    double m_azimuth = 0;
    std::optional<double> m_target;
    double m_rate = 360;
    int m_speedLevel = 4;
    Answers m_answers = Answers::Normal;
    QByteArray m_customAnswer;
    double m_delay = 0;
    QByteArray m_chatterLine;
    double m_chatterSeconds = 0;
    Clock::time_point m_chatterUntil {};
    Clock::time_point m_nextChatter {};
    Clock::time_point m_lastAdvance {};
    QByteArray m_received;
    QList<QByteArray> m_commands;
    QList<Pending> m_pending;
    QList<QByteArray> m_toSend;
    bool m_hangUp = false;
};
