#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

// The application's append-only text log: one line per event ("time stamp,
// blank, message"), appended on a queue of its own so that writing never
// waits for the disk, capped by rotating the file to a single ".old"
// generation, and readable back as the tail of recent lines.
//
// Every file-system failure is ignored: a failed append loses that one line
// and nothing else.
class LogFile {
public:
    // Stores the path and the cap; touches no file.
    LogFile(const QString& path, qint64 maxBytes);
    // Finishes the appends already submitted.
    ~LogFile();

    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    const QString& path() const { return m_path; }
    // The older generation: the path with ".old" appended.
    QString oldPath() const { return m_path + QStringLiteral(".old"); }
    qint64 maxBytes() const { return m_maxBytes; }

    // The formatted line, terminator included: the UTC time to the second in
    // ISO 8601 ("2024-03-01T12:00:00Z"), a blank, and the message with every
    // carriage return and line feed turned into a blank.
    static QString line(const QString& message, const QDateTime& date);

    // Formats the line on the caller's thread and queues its append. Returns
    // at once; reports nothing. Any thread.
    void write(const QString& message, const QDateTime& date = QDateTime::currentDateTimeUtc());

    // Formats and appends the line on the calling thread, bypassing the queue.
    // Only for the crash path when it runs on the log's own queue, where
    // waiting for the queue would never end.
    void writeNow(const QString& message, const QDateTime& date = QDateTime::currentDateTimeUtc());

    // Blocks until every append submitted before the call has finished.
    // Returns at once when called from the log's own queue.
    void flush();

    // The newest `lines` lines of both generations (older first), dropping
    // the oldest of them while they exceed `maxBytes` bytes (one line feed
    // per line counted); each line ends with a line feed. Empty when nothing
    // fits. Flushes first.
    QString tail(int lines, qint64 maxBytes);

    // Runs a job on the log's queue after every append submitted before it.
    void async(std::function<void()> job);

    // True on the thread that runs the log's queue.
    bool isOnQueue() const;

    // Called on the queue right after each rotation, before the line that
    // caused it is appended (the crash log points its descriptor at the new
    // file there).
    void setRotationHook(std::function<void()> hook);

private:
    struct Queue;

    void append(const QByteArray& bytes);

    QString m_path;
    qint64 m_maxBytes;
    std::unique_ptr<Queue> m_queue;
};
