// A small program tests start as a child process: it starts the
// application log and then ends in the way its argument names.
#include "kit/AppLog.h"
#include "maintenance/ReplacementScript.h"
#include "maintenance/ToolRun.h"
#include "support/AtomicFile.h"
#include "support/Settings.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Read through a volatile so the compiler cannot see the null and drop the store.
int* volatile nowhere = nullptr;

// A real fault even in the sanitized build, whose null check would otherwise
// end the process before the signal.
__attribute__((no_sanitize("undefined"))) void writeThroughNull() { *static_cast<volatile int*>(nowhere) = 42; }

// The log folder opened as Help → Open Log Folder opens it, and once the
// opener has run ($OPENED is there) the program quits the way the Quit
// command ends it: the event loop, then the application object.
int openFolderThenQuit(int argc, char** argv)
{
    QApplication app(argc, argv);
    AppLog::start();
    AppLog::openFolder();
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [] {
        if (QFileInfo::exists(qEnvironmentVariable("OPENED")))
            QApplication::quit();
    });
    look.start(10);
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    // No core files in the build tree.
    const rlimit noCore { 0, 0 };
    setrlimit(RLIMIT_CORE, &noCore);

    if (argc < 2)
        return 2;
    const char* mode = argv[1];
    if (std::strcmp(mode, "open-folder-then-quit") == 0)
        return openFolderThenQuit(argc, argv);
    QCoreApplication app(argc, argv);
    if (std::strcmp(mode, "write-setting") == 0) {
        // Ends without ever running an event loop.
        Settings::standard().setValue(QStringLiteral("lastWords"), QStringLiteral("written at exit"));
        return 0;
    }
    if (std::strcmp(mode, "save-past-size-limit") == 0) {
        // 8 KB (less than Qt's write buffer) to $SAVE_PATH where a file may
        // hold 4 KB, cut short as on a full disk; exit 0 when it says so.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit fourKB { 4096, 4096 };
        setrlimit(RLIMIT_FSIZE, &fourKB);
        const auto saved = AtomicFile::write(qEnvironmentVariable("SAVE_PATH"), QByteArray(8192, 'x'));
        std::fprintf(stderr, "%s\n", saved ? "saved" : qPrintable(saved.error().message));
        return saved || saved.error().message != QLatin1String("the disk is full");
    }
    if (std::strcmp(mode, "replacement-script") == 0) // for scripts/replacement-trials
        return std::fputs(ReplacementScript::text().toUtf8().constData(), stdout) < 0;
    if (std::strcmp(mode, "run-tool") == 0) // $TOOL, for as long as it runs: it may end this process
        return ToolRun::run(qEnvironmentVariable("TOOL"), {}, QDeadlineTimer::Forever).ok ? 0 : 1;
    AppLog::start();

    if (std::strcmp(mode, "segv") == 0) {
        writeThroughNull();
    } else if (std::strcmp(mode, "rotate-segv") == 0) {
        // Two rotations at the 500000-byte cap, then a crash.
        const QString filler(1000, QChar(u'x'));
        for (int i = 0; i < 1100; ++i)
            AppLog::file().write(filler);
        AppLog::file().write(QStringLiteral("last line before the crash"));
        AppLog::file().flush();
        writeThroughNull();
    } else if (std::strcmp(mode, "throw") == 0) {
        throw std::runtime_error("feed table corrupt");
    } else if (std::strcmp(mode, "throw-int") == 0) {
        throw 42;
    } else if (std::strcmp(mode, "throw-on-queue") == 0) {
        AppLog::file().async([] { throw std::logic_error("failed on the log queue"); });
        sleep(30);
        return 3;
    } else if (std::strcmp(mode, "abort") == 0) {
        std::raise(SIGABRT);
    }
    return 1;
}
