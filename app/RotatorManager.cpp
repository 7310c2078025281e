#include "RotatorManager.h"

RotatorManager& RotatorManager::shared()
{
    // Deliberately leaked: the manager lives as long as the process.
    static RotatorManager* instance = new RotatorManager();
    return *instance;
}

RotatorManager::RotatorManager() = default;
