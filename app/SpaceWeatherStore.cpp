#include "SpaceWeatherStore.h"

SpaceWeatherStore::SpaceWeatherStore(QObject* parent)
    : QObject(parent)
{
}

void SpaceWeatherStore::refresh()
{
}
