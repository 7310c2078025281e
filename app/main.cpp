#include "kit/AppLog.h"
#include "kit/QuitSignals.h"
#include "maintenance/ReplacementScript.h"
#include "maintenance/Updater.h"
#include "shell/CorvantaApp.h"
#include "support/Download.h"
#include "support/VectorState.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // The update's replacement script swapping two folders, or asking
    // whether a leftover holds the user's engine: no window, no log,
    // nothing but the answer.
    const bool exchange = argc >= 2 && std::strcmp(argv[1], ReplacementScript::exchangeOption) == 0;
    if (exchange || (argc >= 2 && std::strcmp(argv[1], ReplacementScript::holdsEngineOption) == 0)) {
        if (argc == 4)
            return exchange ? ReplacementScript::exchangeFolders(argv[2], argv[3])
                            : ReplacementScript::leftoverHoldsEngine(argv[2], argv[3]);
        std::fprintf(stderr, "usage: corvanta %s %s\n", argv[1], exchange ? "FIRST SECOND" : "LEFTOVER FOLDER");
        return 2;
    }

    Download::initialise();
    QApplication app(argc, argv);
    // Qt's seeded string hash ran while the application was built (its
    // plugin keys); on processors whose glibc never runs vzeroupper the
    // state would stay dirty from here on.
    VectorState::clean();
    QApplication::setApplicationName(QStringLiteral("Corvanta"));
    QApplication::setApplicationVersion(Updater::currentVersion());
    // Ties the windows to the installed desktop entry (its name and icon).
    QGuiApplication::setDesktopFileName(QStringLiteral(CORVANTA_APP_ID));

    CorvantaApp corvanta;
    // Ended from outside (a logout, kill, Ctrl+C): the Quit command's way,
    // so the stores are destroyed and the settings written.
    QuitSignals::install(&app, [&corvanta](int signal) {
        AppLog::file().write(QStringLiteral("Quit on ") + QuitSignals::name(signal));
        corvanta.quit();
        QApplication::quit();
    });
    corvanta.openMainWindow();
    return app.exec();
}
