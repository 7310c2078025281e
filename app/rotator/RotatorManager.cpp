#include "rotator/RotatorManager.h"

#include "support/Settings.h"

RotatorManager& RotatorManager::shared()
{
    // Deliberately leaked: the manager lives as long as the process.
    static RotatorManager* instance = new RotatorManager();
    return *instance;
}

RotatorManager::RotatorManager() = default;

QList<RotatorConfig> RotatorManager::rotators() const { return RotatorConfig::load(Settings::standard()); }

void RotatorManager::turn(const QUuid&, double)
{
    // No workers yet: commands go nowhere.
}

void RotatorManager::stopAll() { }
