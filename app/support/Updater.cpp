#include "support/Updater.h"

Updater::Updater(QObject* parent)
    : QObject(parent)
{
}

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
