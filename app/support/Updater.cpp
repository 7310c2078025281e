#include "support/Updater.h"

Updater& Updater::shared()
{
    static Updater* instance = new Updater();
    return *instance;
}

Updater::Updater() = default;

QString Updater::currentVersion()
{
#ifdef CORVANTA_VERSION
    const QString version = QStringLiteral(CORVANTA_VERSION);
#else
    const QString version;
#endif
    return version.isEmpty() ? QStringLiteral("0") : version;
}

void Updater::start() { }

void Updater::check(bool userAsked) { }
