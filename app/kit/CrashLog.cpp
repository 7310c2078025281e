#include "kit/CrashLog.h"

#include "kit/AppLog.h"

#include <QFile>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <fcntl.h>
#include <typeinfo>
#include <unistd.h>

namespace {

volatile sig_atomic_t crashFd = -1;
// The signal handler's only buffer: static, so the handler never allocates.
char signalBuffer[CrashLog::bufferSize];
// A stack of its own for the signal handlers, so a stack overflow still gets
// its line.
alignas(16) char alternateStack[64 * 1024];

std::terminate_handler previousTerminate = nullptr;
std::atomic_flag terminating = ATOMIC_FLAG_INIT;

constexpr int fatalSignals[] = { SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP };

QString currentExceptionName()
{
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (!type)
        return QStringLiteral("unknown");
    int status = 0;
    char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    const QString name = QString::fromUtf8(status == 0 && demangled ? demangled : type->name());
    std::free(demangled);
    return name;
}

void onTerminate()
{
    // A second failure while writing the line must not loop.
    if (!terminating.test_and_set()) {
        if (std::exception_ptr current = std::current_exception()) {
            QString reason;
            try {
                std::rethrow_exception(current);
            } catch (const std::exception& e) {
                reason = QString::fromUtf8(e.what());
            } catch (...) {
            }
            const QString line = CrashLog::exceptionLine(currentExceptionName(), reason);
            LogFile& log = AppLog::file();
            // On the log's own queue a flush would wait for the very job that
            // failed; write the line directly there.
            if (log.isOnQueue()) {
                log.writeNow(line);
            } else {
                log.write(line);
                log.flush();
            }
        }
    }
    if (previousTerminate)
        previousTerminate();
    std::abort();
}

extern "C" void onFatalSignal(int signal)
{
    CrashLog::writeSignalLine(signal);
    struct sigaction fallback { };
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    // Delivered once the handler returns, so the process ends exactly as the
    // signal would have ended it.
    raise(signal);
}

void put2(char* at, long value)
{
    at[0] = static_cast<char>('0' + (value / 10) % 10);
    at[1] = static_cast<char>('0' + value % 10);
}

} // namespace

namespace CrashLog {

int descriptor() { return crashFd; }

void install(const QString& path)
{
    crashFd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);

    previousTerminate = std::set_terminate(onTerminate);

    stack_t stack {};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);

    struct sigaction action { };
    action.sa_handler = onFatalSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_ONSTACK;
    for (int signal : fatalSignals)
        sigaction(signal, &action, nullptr);
}

void repoint(const QString& path)
{
    const int fresh = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fresh < 0)
        return;
    if (crashFd < 0) {
        crashFd = fresh;
        return;
    }
    // dup2 swaps the file under the descriptor atomically: a signal line
    // written meanwhile lands in the old file or the new one, never nowhere.
    ::dup2(fresh, crashFd);
    ::close(fresh);
}

std::size_t formatSignalLine(char (&buffer)[bufferSize], std::time_t seconds, int signal)
{
    const long long t = seconds < 0 ? 0 : static_cast<long long>(seconds);
    const long long days = t / 86400;
    const long long s = t - days * 86400;

    // Days since 1970 to a civil date, in 400-year eras of 146097 days.
    const long long z = days + 719468;
    const long long era = z / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yoe + 400 * era + (month <= 2 ? 1 : 0);

    char* b = buffer;
    b[0] = static_cast<char>('0' + (year / 1000) % 10);
    b[1] = static_cast<char>('0' + (year / 100) % 10);
    put2(b + 2, year % 100);
    b[4] = '-';
    put2(b + 5, month);
    b[7] = '-';
    put2(b + 8, day);
    b[10] = 'T';
    put2(b + 11, s / 3600);
    b[13] = ':';
    put2(b + 14, (s / 60) % 60);
    b[16] = ':';
    put2(b + 17, s % 60);
    b[19] = 'Z';

    std::size_t n = 20;
    for (const char* text = " Crash: fatal signal "; *text && n <= bufferSize - 2; ++text)
        b[n++] = *text;
    const int number = signal < 0 ? 0 : signal % 100;
    if (number >= 10 && n <= bufferSize - 2)
        b[n++] = static_cast<char>('0' + number / 10);
    if (n <= bufferSize - 2)
        b[n++] = static_cast<char>('0' + number % 10);
    b[n++] = '\n';
    return n;
}

void writeSignalLine(int signal)
{
    const int fd = crashFd;
    if (fd < 0)
        return;
    const std::size_t length = formatSignalLine(signalBuffer, std::time(nullptr), signal);
    [[maybe_unused]] const ssize_t written = ::write(fd, signalBuffer, length);
}

QString exceptionLine(const QString& name, const QString& reason)
{
    return QStringLiteral("Crash: uncaught exception ") + name + QStringLiteral(": ") + reason;
}

} // namespace CrashLog
