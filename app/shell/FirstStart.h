#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>


// The one-time install report: 20 seconds after launch it tells the maker's
// web site, once per installation, that the application has been installed.
// At most one attempt per launch and three in all; the state lives in
// "first-start.json" in the support folder (FirstStartState). Every failure
// is silent: nothing is logged and nothing is shown. Main thread, its
// request too (on the event loop).
class FirstStart : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds delay { 20000 };
    static constexpr int timeoutMs = 15000;
    // The whole exchange, however slowly it goes on.
    static constexpr std::chrono::milliseconds limit { 60000 };
    // The answer is not read, only its status: a larger one is ended as it
    // comes rather than held in memory.
    static constexpr qint64 maxAnswerBytes = 64 * 1024;

    explicit FirstStart(QObject* parent = nullptr);

    // "/corvanta-hit.php" on the maker's web site.
    static QUrl endpoint();
    // The state file in the support folder; empty when the system offers no
    // data folder, and then no attempt is made.
    static QString standardStateFile();

    // Tests point these elsewhere.
    void setStateFile(const QString& path) { m_stateFile = path; }
    QString stateFile() const { return m_stateFile; }
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }

    // Makes one attempt `after` from now, on the monotonic clock, with the
    // application's version at that moment. A later call replaces the
    // pending one.
    void schedule(std::chrono::milliseconds after = delay);
    bool isScheduled() const { return m_timer.isActive(); }

    // One attempt now: reads the state, stops when nothing is left to do,
    // else counts the try on disk before sending and marks it sent on an
    // answer from 200 to 299. finished() follows in every case.
    void send(const QString& version);

Q_SIGNALS:
    // The attempt has ended, whether it sent, failed or had nothing to do.
    void finished();

private:
    QTimer m_timer;
    QString m_stateFile;
    int m_timeoutMs = timeoutMs;
};
