#include "maintenance/Updater.h"
#include "shell/CorvantaApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvanta"));
    QApplication::setApplicationVersion(Updater::currentVersion());

    CorvantaApp corvanta;
    corvanta.openMainWindow();
    return app.exec();
}
