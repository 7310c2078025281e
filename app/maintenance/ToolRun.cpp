#include "maintenance/ToolRun.h"

#include "support/ByteSize.h"
#include "support/FileWords.h"

#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstring>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace ToolRun {

namespace {

// Milliseconds left for QProcess's waits: -1 for no deadline.
int msLeft(const QDeadlineTimer& deadline)
{
    const qint64 left = deadline.remainingTime();
    return left < 0 ? -1 : int(std::min<qint64>(left, INT_MAX));
}

// How long a wait lasts at most before the thread looks whether it is asked
// to stop.
constexpr int sliceMs = 100;

// The process group a tool runs in, and its watcher: a shell that leads
// the group and reads a pipe whose other end only this program holds (not
// passed on to what it starts). Its read ends however the program does (a
// quit, a signal, the display lost, kill -9, a crash), and the watcher then
// kills the group, itself with the tool and all the tool started. The
// group lives as long as its watcher, so its number names no one else's
// while the program may kill it.
class Group {
public:
    Group()
    {
        m_watcher.setProgram(QStringLiteral("/bin/sh"));
        m_watcher.setArguments({ QStringLiteral("-c"), QStringLiteral("read -r line; kill -s KILL -- -$$") });
        m_watcher.setStandardOutputFile(QProcess::nullDevice());
        m_watcher.setStandardErrorFile(QProcess::nullDevice());
        m_watcher.setChildProcessModifier([] { setpgid(0, 0); });
    }
    // Its end, once the tool has ended: what the tool left running goes too.
    ~Group()
    {
        m_watcher.closeWriteChannel();
        if (!m_watcher.waitForFinished(2000))
            kill();
    }
    bool start(const QDeadlineTimer& deadline)
    {
        m_watcher.start(QIODevice::WriteOnly);
        return m_watcher.waitForStarted(msLeft(deadline));
    }
    pid_t id() const { return pid_t(m_watcher.processId()); }
    void kill() const
    {
        if (id() > 0)
            ::kill(-id(), SIGKILL);
    }

private:
    QProcess m_watcher;
};

// The tool and whatever it started.
void killGroup(const Group& group, QProcess& process)
{
    group.kill();
    process.kill();
}

} // namespace

Result run(const QString& program, const QStringList& arguments, const QDeadlineTimer& deadline, qint64 maxFileBytes)
{
    const QString tool = QFileInfo(program).fileName();
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    Group group; // ended before the process: whatever the tool left goes first
    // Both channels are read as they come, whichever has something, and
    // weighed together before a byte is kept: past the bound the tool is
    // stopped at once, and nothing more of it is kept.
    Result result;
    QByteArray errors;
    const auto take = [&](QProcess::ProcessChannel channel, QByteArray& kept) {
        process.setReadChannel(channel);
        const qint64 piece = process.bytesAvailable();
        if (!result.saidTooMuch && result.output.size() + errors.size() + piece > maxOutputBytes) {
            result.saidTooMuch = true;
            result.listedTooMuch = channel == QProcess::StandardOutput;
            killGroup(group, process);
        }
        if (result.saidTooMuch) {
            process.skip(piece);
            return;
        }
        // Read straight into what is kept, which grows in place and never
        // past the bound: appending pieces would copy as it grows, and
        // double past it.
        const qsizetype had = kept.size();
        if (had + piece > kept.capacity())
            kept.reserve(std::min(std::max(had + piece, 2 * kept.capacity()), qsizetype(maxOutputBytes)));
        kept.resize(had + piece);
        kept.resize(had + std::max<qint64>(0, process.read(kept.data() + had, piece)));
    };
    QObject::connect(&process, &QProcess::readyReadStandardOutput,
                     [&] { take(QProcess::StandardOutput, result.output); });
    QObject::connect(&process, &QProcess::readyReadStandardError, [&] { take(QProcess::StandardError, errors); });
    const QThread* thread = QThread::currentThread();
    if (thread->isInterruptionRequested())
        return { false, true, false, false, {}, -1, {} };
    if (!group.start(deadline))
        return { false, deadline.hasExpired(), false, false, {}, -1,
                 tool + QStringLiteral(" could not be started (/bin/sh did not start)") };
    process.setChildProcessModifier([maxFileBytes, self = ::getpid(), groupId = group.id()] {
        // Into the watched group, which is killed whole. Should the program
        // end before the tool is in it, the kernel ends the tool with the
        // thread that started it (the one that waits for it here).
        if (setpgid(0, groupId) != 0 || prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != self)
            _exit(127);
        if (maxFileBytes < 0)
            return;
        const rlimit limit { rlim_t(maxFileBytes), rlim_t(maxFileBytes) };
        setrlimit(RLIMIT_FSIZE, &limit);
        // A write past the limit fails instead of killing the tool,
        // which could leave a core file behind.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, nullptr);
    });
    process.start();
    if (!process.waitForStarted(msLeft(deadline)))
        return { false, deadline.hasExpired(), false, false, {}, -1,
                 QStringLiteral("%1 could not be started (%2)").arg(tool, process.errorString()) };
    // QProcess reads both channels while it waits, and says so through the
    // signals above. In slices, so that the thread's owner can stop it.
    while (process.state() != QProcess::NotRunning && !result.saidTooMuch) {
        result.timedOut = deadline.hasExpired() || thread->isInterruptionRequested();
        if (result.timedOut)
            break;
        const int left = msLeft(deadline);
        process.waitForFinished(left < 0 ? sliceMs : std::min(left, sliceMs));
    }
    take(QProcess::StandardOutput, result.output);
    take(QProcess::StandardError, errors);
    if (process.state() != QProcess::NotRunning || result.saidTooMuch) {
        // A tool held up by a disk that no longer answers; it may not even
        // die at once.
        killGroup(group, process);
        process.waitForFinished(2000);
        const QString said
            = result.saidTooMuch ? QStringLiteral("%1 printed more than %2").arg(tool, ByteSize::text(maxOutputBytes))
                                 : QString();
        return { false, result.timedOut, result.saidTooMuch, result.listedTooMuch, {}, -1, said };
    }
    result.said = (QString::fromLocal8Bit(errors) + u'\n' + QString::fromLocal8Bit(result.output)).trimmed();
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitStatus = process.exitCode();
    result.ok = result.exitStatus == 0;
    if (process.exitStatus() == QProcess::CrashExit) // the exit code is then the signal's number
        result.said = (QStringLiteral("%1 was stopped by signal %2\n").arg(tool).arg(process.exitCode()) + result.said)
                          .trimmed();
    else if (!result.ok && result.said.isEmpty())
        result.said = tool + QStringLiteral(" gave no reason");
    return result;
}

QString reason(const Result& result, const QString& tool)
{
    // Our own words about it come first in what it said; Qt's after them
    // are for the log.
    const QString notStarted = tool + QStringLiteral(" could not be started");
    if (result.said.startsWith(notStarted))
        return notStarted;
    if (result.saidTooMuch || result.said.startsWith(tool + QStringLiteral(" was stopped by signal")))
        return result.said.section(u'\n', 0, 0);
    // Where it did not end by itself, what was said is ours alone.
    if (result.exitStatus < 0 && !result.said.isEmpty())
        return result.said;
    // The system's error that comes first in what it said, in the words
    // strerror() gives it: the user's language, as the tools speak it, or
    // English, which unzip speaks.
    const locale_t english = newlocale(LC_MESSAGES_MASK, "C", locale_t(0));
    qsizetype first = -1;
    int error = 0;
    for (int e = 1; e < 134; ++e) {
        for (const char* text : { std::strerror(e), english ? strerror_l(e, english) : nullptr }) {
            const QString words = text ? QString::fromLocal8Bit(text) : QString();
            const qsizetype at = words.isEmpty() || words.startsWith(QLatin1String("Unknown error"))
                ? -1
                : result.said.indexOf(words);
            if (at >= 0 && (first < 0 || at < first)) {
                first = at;
                error = e;
            }
        }
    }
    if (english)
        freelocale(english);
    if (error == 0 && result.said.contains(QLatin1String("disk full"), Qt::CaseInsensitive))
        error = ENOSPC;
    if (error != 0)
        return FileWords::cause(error);
    if (result.exitStatus >= 0)
        return QStringLiteral("%1 ended with status %2").arg(tool).arg(result.exitStatus);
    return tool + QStringLiteral(" gave no reason");
}

} // namespace ToolRun
