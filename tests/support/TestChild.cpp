#include "support/TestChild.h"

#include <QCoreApplication>
#include <QFile>

#include <chrono>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace TestChild {

End run(const QString& mode, const QStringList& environment, int timeoutSeconds)
{
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationDirPath() + "/test_child");
    const QByteArray modeArg = mode.toUtf8();

    std::vector<QByteArray> env;
    for (const QString& entry : environment)
        env.push_back(entry.toLocal8Bit());
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        const QByteArray name = QByteArray(*e, eq ? eq - *e : std::strlen(*e)) + '=';
        bool replaced = false;
        for (const QString& entry : environment)
            replaced = replaced || entry.toLocal8Bit().startsWith(name);
        if (!replaced)
            env.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (QByteArray& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    char* argv[] = { const_cast<char*>(program.constData()), const_cast<char*>(modeArg.constData()), nullptr };

    End end;
    pid_t pid = 0;
    if (posix_spawn(&pid, program.constData(), nullptr, nullptr, argv, envp.data()) != 0)
        return end;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return end;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    end.finished = true;
    end.signalled = WIFSIGNALED(status);
    end.code = end.signalled ? WTERMSIG(status) : WEXITSTATUS(status);
    return end;
}

} // namespace TestChild
