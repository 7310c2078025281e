#include "cluster/SpotLocator.h"

SpotLocator::SpotLocator(SpotPlacer placer, CtyDatabase countries)
    : m_placer(std::move(placer))
    , m_countries(std::move(countries))
{
}

void SpotLocator::setCountries(CtyDatabase countries)
{
    m_countries = std::move(countries);
    m_calls.clear();
    m_labels.clear();
}

const SpotLocator::CallCountry& SpotLocator::country(const QString& call)
{
    auto found = m_calls.find(StringKey::over(call));
    if (found != m_calls.end())
        return *found;
    if (m_calls.size() >= maxCachedCalls)
        m_calls.clear();
    return *m_calls.insert(call, { m_countries.entity(call), m_countries.dxccEntity(call) });
}

const PrefixEntity& SpotLocator::label(const CtyEntity& place)
{
    auto found = m_labels.find(StringKey::over(place.primaryPrefix));
    if (found == m_labels.end())
        found = m_labels.insert(place.primaryPrefix, m_placer.label(place));
    return *found;
}
