#include "spaceweather/SpaceWeatherStore.h"

SpaceWeatherStore::SpaceWeatherStore(QObject* parent)
    : QObject(parent)
{
}

void SpaceWeatherStore::refresh() { }

void SpaceWeatherStore::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    Q_EMIT isLoadingChanged();
}

void SpaceWeatherStore::setLastError(const std::optional<QString>& error)
{
    if (m_lastError == error)
        return;
    m_lastError = error;
    Q_EMIT lastErrorChanged();
}
