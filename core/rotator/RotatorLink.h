#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <expected>
#include <optional>

// What can go wrong between the application and a rotator controller. The
// message is what the user reads in the rotator's status line.
struct RotatorLinkError {
    enum class Kind { Open, NotUnderstood, NoAnswer, Closed };

    Kind kind = Kind::Closed;
    // The finished message for Open; the controller's answer as shown to the
    // user for NotUnderstood; empty otherwise.
    QString text;

    static RotatorLinkError open(const QString& message) { return { Kind::Open, message }; }
    static RotatorLinkError notUnderstood(const QString& shown) { return { Kind::NotUnderstood, shown }; }
    static RotatorLinkError noAnswer() { return { Kind::NoAnswer, {} }; }
    static RotatorLinkError closed() { return { Kind::Closed, {} }; }

    QString message() const;

    bool operator==(const RotatorLinkError&) const = default;
};

template <typename T>
using RotatorLinkResult = std::expected<T, RotatorLinkError>;

// The byte pipe to one rotator controller. Commands go out as UTF-8 text;
// answers come back as lines that end in the dialect's terminator byte.
// A link is used by one thread at a time and holds no locks.
class RotatorLink {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~RotatorLink() = default;

    // The moment `seconds` from now. Time-outs arrive as seconds in a
    // double; anything that is not a sensible span is held to one so the
    // clock arithmetic cannot overflow.
    static Clock::time_point deadlineAfter(double seconds);

    // Sends every byte of the text.
    virtual RotatorLinkResult<void> write(const QString& text) = 0;
    // The next complete non-empty line, or no line once `timeout` seconds
    // have passed without one. A timeout of 0 only looks at what is buffered.
    virtual RotatorLinkResult<std::optional<QString>> readLine(quint8 terminator, double timeout) = 0;
    // Every complete line that has arrived by now, without waiting.
    virtual RotatorLinkResult<QStringList> readAvailableLines(quint8 terminator) = 0;
    // Whatever is buffered without a terminator; empties the buffer.
    virtual QString takeUnterminated() = 0;
    // Closes the connection; harmless when already closed.
    virtual void close() = 0;
};

// A link over one file descriptor, with its receive buffer. The descriptor
// is closed by close() or when the link is destroyed.
class FDLink : public RotatorLink {
public:
    // Bytes kept at most while waiting for a terminator: a controller that
    // never sends one cannot grow memory.
    static constexpr qsizetype bufferCap = 4096;

    ~FDLink() override;
    FDLink(const FDLink&) = delete;
    FDLink& operator=(const FDLink&) = delete;

    RotatorLinkResult<void> write(const QString& text) override;
    RotatorLinkResult<std::optional<QString>> readLine(quint8 terminator, double timeout) override;
    RotatorLinkResult<QStringList> readAvailableLines(quint8 terminator) override;
    QString takeUnterminated() override;
    void close() override;

    int fd() const { return m_fd; }

protected:
    // Takes ownership of `fd`. A write that cannot go on waits at most
    // `writeTimeout` seconds for room and then counts the link as closed, so
    // a peer that stops reading never hangs the caller.
    FDLink(int fd, double writeTimeout, bool isSocket);

private:
    std::optional<QString> nextLine(quint8 terminator);
    // Waits up to `waitMs` for bytes and reads one chunk; true when bytes
    // came, false on a quiet line or an interruption.
    RotatorLinkResult<bool> fill(int waitMs);
    long writeSome(const char* data, size_t size);

    int m_fd = -1;
    double m_writeTimeout = 0;
    bool m_isSocket = false;
    QByteArray m_buffer;
};
