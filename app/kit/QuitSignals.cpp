#include "kit/QuitSignals.h"

#include "kit/EventLoopEnd.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// [0] is read by the event loop, [1] written by the handler.
int ends[2] = { -1, -1 };

void onSignal(int signal)
{
    // Only async-signal-safe calls here.
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(ends[1], &byte, 1);
    errno = saved;
}

} // namespace

namespace QuitSignals {

void install(QObject* context, std::function<void(int)> quit)
{
    if (ends[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0)
        return;
    auto* notifier = new QSocketNotifier(qintptr(ends[0]), QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [notifier, quit = std::move(quit)] {
        char bytes[8] = {};
        const ssize_t count = ::read(ends[0], bytes, sizeof bytes);
        if (count <= 0)
            return;
        // One quit: a later signal finds the default action in place.
        notifier->setEnabled(false);
        for (const int signal : { SIGTERM, SIGINT, SIGHUP })
            ::signal(signal, SIG_DFL);
        quit(int(static_cast<unsigned char>(bytes[0])));
    });
    // A signal while the program is on its way out finds the quit it asks
    // for under way: nothing is run for it.
    EventLoopEnd::cutOff(notifier);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signal : { SIGTERM, SIGINT, SIGHUP })
        ::sigaction(signal, &action, nullptr);
}

QString name(int signal)
{
    switch (signal) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}

} // namespace QuitSignals
