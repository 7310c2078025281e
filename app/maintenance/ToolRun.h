#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

// The self-update's command-line tools (unzip, cp), each run to its end on
// the calling thread, the update's own, within the deadline of the step it
// belongs to, or until that thread is asked to stop (an interruption ends
// it as the deadline would); and what a tool said, cut down for an alert.
// A tool runs in a process group of its own, and a tool that is stopped is
// killed with all it started: a tool that is a script leaves none of its
// commands running. So is a tool the program leaves, however it ends, and
// what a tool that ended left running.
namespace ToolRun {

struct Result {
    bool ok = false;            // it ran and exited with status 0
    bool timedOut = false;      // it was still running at the deadline, or when asked to stop, and was killed
    bool saidTooMuch = false;   // its output grew past maxOutputBytes and it was killed
    bool listedTooMuch = false; // saidTooMuch, by its standard output
    QByteArray output {};       // its standard output
    int exitStatus = -1;        // the status it exited with; -1 when it did not exit by itself
    // Its standard error and output as text, or in our words why it did not
    // run to its end; after a failure never empty: "unzip printed more than
    // 64 MiB", "unzip was stopped by signal 9" before what it said, or
    // "unzip gave no reason".
    QString said {};
};

// The most a tool may print, standard output and error together, before it
// is stopped: a release's listing is a few kilobytes, while one an archive
// of long names makes could fill the memory. What it printed is kept only
// up to this, so memory stays near it.
inline constexpr qint64 maxOutputBytes = qint64(64) << 20;

// Runs `program` with `arguments`. When `maxFileBytes` is set no file it
// writes grows past that many bytes: the write that would fails (it is
// not killed), and the file ends at the limit.
Result run(const QString& program, const QStringList& arguments, const QDeadlineTimer& deadline,
           qint64 maxFileBytes = -1);

// Why `tool` failed, in our words, for the user: the system's error it
// names (read against the C library's own texts, in the user's language
// and in English), a full disk, or how it ended ("cp ended with status 1").
// What it said itself belongs in the log.
QString reason(const Result& result, const QString& tool);

} // namespace ToolRun
