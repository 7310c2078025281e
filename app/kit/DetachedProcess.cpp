#include "kit/DetachedProcess.h"

#include "kit/EventLoopEnd.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace DetachedProcess {

namespace {

// One started program until it exits, watched by its pidfd: then it is
// reaped and its end told.
class Watch : public QObject {
public:
    Watch(pid_t pid, int pidfd, std::function<void(bool)> ended)
        : QObject(QCoreApplication::instance())
        , m_pid(pid)
        , m_ended(std::move(ended))
        , m_notifier(new QSocketNotifier(pidfd, QSocketNotifier::Read, this))
    {
        connect(m_notifier, &QSocketNotifier::activated, this, &Watch::look);
        EventLoopEnd::cutOff(this);
    }
    // What is still running stays so, unwatched; the system reaps it once
    // this program is gone.
    ~Watch() override { ::close(int(m_notifier->socket())); }

private:
    void look()
    {
        int status = 0;
        const pid_t reaped = ::waitpid(m_pid, &status, WNOHANG);
        if (reaped == 0 || (reaped < 0 && errno == EINTR))
            return;
        m_notifier->setEnabled(false);
        deleteLater();
        // Reaped by nobody else in this program: where it was (ECHILD), how
        // it ended is unknown, and nothing is told against it.
        m_ended(reaped != m_pid || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
    }

    pid_t m_pid;
    std::function<void(bool)> m_ended;
    QSocketNotifier* m_notifier;
};

} // namespace

bool start(const QString& program, const QStringList& arguments, std::function<void(bool succeeded)> ended)
{
    std::vector<QByteArray> words { QFile::encodeName(program) };
    for (const QString& argument : arguments)
        words.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    // A session of its own: neither a terminal's Ctrl+C nor its hang-up,
    // which reach this program's group, reach it. Signals as a fresh
    // process has them, whatever this one ignores or blocks.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, argv.front(), &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return false;
    // A kernel without pidfds (before 5.3) leaves it unwatched: taken as
    // opened, and reaped by the system once this program is gone.
    if (const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0)); pidfd >= 0)
        new Watch(pid, pidfd, std::move(ended));
    return true;
}

} // namespace DetachedProcess
