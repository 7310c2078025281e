#include "rotator/RotatorManager.h"

#include "support/Settings.h"

RotatorManager::RotatorManager(QObject* parent)
    : QObject(parent)
{
}

QList<RotatorConfig> RotatorManager::rotators() const { return RotatorConfig::load(Settings::standard()); }

void RotatorManager::turn(const QUuid&, double)
{
    // No workers yet: commands go nowhere.
}

void RotatorManager::stopAll() { }
