#include "support/LogFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// One worker thread that runs jobs one at a time in submission order.
struct LogFile::Queue {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    bool stopping = false;
    std::function<void()> rotationHook;
    std::thread worker;

    Queue()
        : worker([this] { run(); })
    {
    }

    void run()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stopping || !jobs.empty(); });
                if (jobs.empty())
                    return;
                job = std::move(jobs.front());
                jobs.pop_front();
            }
            try {
                job();
            } catch (...) {
                // An exception escaping a job ends the process like any other
                // uncaught exception; terminating inside the handler keeps the
                // exception current for the crash log.
                std::terminate();
            }
        }
    }

    void submit(std::function<void()> job)
    {
        {
            std::lock_guard lock(mutex);
            jobs.push_back(std::move(job));
        }
        wake.notify_one();
    }
};

LogFile::LogFile(const QString& path, qint64 maxBytes)
    : m_path(path)
    , m_maxBytes(maxBytes)
    , m_queue(std::make_unique<Queue>())
{
}

LogFile::~LogFile()
{
    {
        std::lock_guard lock(m_queue->mutex);
        m_queue->stopping = true;
    }
    m_queue->wake.notify_one();
    if (isOnQueue())
        m_queue->worker.detach();
    else
        m_queue->worker.join();
}

QString LogFile::line(const QString& message, const QDateTime& date)
{
    QString text = message;
    text.replace(QChar(u'\r'), QChar(u' '));
    text.replace(QChar(u'\n'), QChar(u' '));
    // ISO 8601 drops the milliseconds: "2024-03-01T12:00:00Z".
    return date.toUTC().toString(Qt::ISODate) + QChar(u' ') + text + QChar(u'\n');
}

void LogFile::write(const QString& message, const QDateTime& date)
{
    QByteArray bytes = line(message, date).toUtf8();
    async([this, bytes = std::move(bytes)] { append(bytes); });
}

void LogFile::writeNow(const QString& message, const QDateTime& date) { append(line(message, date).toUtf8()); }

void LogFile::flush()
{
    if (isOnQueue())
        return;
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    async([&] {
        std::lock_guard lock(doneMutex);
        done = true;
        doneSignal.notify_one();
    });
    std::unique_lock lock(doneMutex);
    doneSignal.wait(lock, [&] { return done; });
}

void LogFile::async(std::function<void()> job) { m_queue->submit(std::move(job)); }

bool LogFile::isOnQueue() const { return std::this_thread::get_id() == m_queue->worker.get_id(); }

void LogFile::setRotationHook(std::function<void()> hook)
{
    std::lock_guard lock(m_queue->mutex);
    m_queue->rotationHook = std::move(hook);
}

void LogFile::append(const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());

    const QFileInfo info(m_path);
    if (info.exists() && info.size() >= m_maxBytes) {
        QFile::remove(oldPath());
        if (QFile::rename(m_path, oldPath())) {
            std::function<void()> hook;
            {
                std::lock_guard lock(m_queue->mutex);
                hook = m_queue->rotationHook;
            }
            if (hook)
                hook();
        }
    }

    QFile file(m_path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(bytes);
}

QString LogFile::tail(int lines, qint64 maxBytes)
{
    flush();
    auto readUtf8 = [](const QString& path) -> QString {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray data = file.readAll();
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString text = decoder(data);
        return decoder.hasError() ? QString() : text;
    };
    const QString text = readUtf8(oldPath()) + readUtf8(m_path);
    QStringList pieces = text.split(QChar(u'\n'), Qt::SkipEmptyParts);
    if (lines < pieces.size())
        pieces = pieces.mid(pieces.size() - std::max(lines, 0));

    qint64 total = 0;
    for (const QString& piece : pieces)
        total += piece.toUtf8().size() + 1;
    while (total > maxBytes && !pieces.isEmpty()) {
        total -= pieces.front().toUtf8().size() + 1;
        pieces.removeFirst();
    }
    if (pieces.isEmpty())
        return {};
    return pieces.join(QChar(u'\n')) + QChar(u'\n');
}
