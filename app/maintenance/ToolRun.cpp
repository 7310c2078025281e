#include "maintenance/ToolRun.h"

#include <QProcess>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace ToolRun {

namespace {

// Milliseconds left for QProcess's waits: -1 for no deadline.
int msLeft(const QDeadlineTimer& deadline)
{
    const qint64 left = deadline.remainingTime();
    return left < 0 ? -1 : int(std::min<qint64>(left, INT_MAX));
}

} // namespace

Result run(const QString& program, const QStringList& arguments, const QDeadlineTimer& deadline, qint64 maxFileBytes)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (maxFileBytes >= 0) {
        process.setChildProcessModifier([maxFileBytes] {
            const rlimit limit { rlim_t(maxFileBytes), rlim_t(maxFileBytes) };
            setrlimit(RLIMIT_FSIZE, &limit);
            // A write past the limit fails instead of killing the tool,
            // which could leave a core file behind.
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigaction(SIGXFSZ, &ignore, nullptr);
        });
    }
    process.start();
    if (!process.waitForStarted(msLeft(deadline)))
        return { false, deadline.hasExpired(), false, {}, process.errorString() };
    // Read as it comes, so that what it prints is weighed before it is all
    // in memory.
    Result result;
    QByteArray errors;
    while (process.state() != QProcess::NotRunning && !result.saidTooMuch) {
        // Once its output is closed, only its end is left to wait for.
        if (!process.waitForReadyRead(msLeft(deadline)) && process.state() != QProcess::NotRunning)
            process.waitForFinished(msLeft(deadline));
        result.output += process.readAllStandardOutput();
        errors += process.readAllStandardError();
        result.saidTooMuch = result.output.size() + errors.size() > maxOutputBytes;
        result.timedOut = process.state() != QProcess::NotRunning && deadline.hasExpired();
        if (result.timedOut)
            break;
    }
    if (process.state() != QProcess::NotRunning || result.saidTooMuch) {
        // A tool held up by a disk that no longer answers; it may not even
        // die at once.
        process.kill();
        process.waitForFinished(2000);
        return { false, result.timedOut, result.saidTooMuch, {}, {} };
    }
    result.said = (QString::fromLocal8Bit(errors) + u'\n' + QString::fromLocal8Bit(result.output)).trimmed();
    result.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return result;
}

QString brief(const QString& said)
{
    // Tools speak the user's language, as does strerror() here; unzip
    // speaks English only.
    for (const QString& full : { QString::fromLocal8Bit(std::strerror(ENOSPC)),
                                 QStringLiteral("No space left on device"), QStringLiteral("disk full") }) {
        if (said.contains(full, Qt::CaseInsensitive))
            return QStringLiteral("the disk is full");
    }
    constexpr qsizetype maxLines = 3;
    constexpr qsizetype maxLineLength = 160;
    QStringList lines;
    for (const QString& line : said.split(u'\n')) {
        const QString text = line.simplified();
        if (text.isEmpty())
            continue;
        if (lines.size() == maxLines) {
            lines << QStringLiteral("…");
            break;
        }
        lines << (text.size() > maxLineLength ? text.left(maxLineLength - 1) + u'…' : text);
    }
    return lines.join(u'\n');
}

} // namespace ToolRun
