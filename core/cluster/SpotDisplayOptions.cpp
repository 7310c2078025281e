#include "cluster/SpotDisplayOptions.h"

#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

SpotDisplayOptions SpotDisplayOptions::fromTexts(const QString& modeFilter, const QString& bands, const QString& show,
                                                 const QString& needScope, bool confirmedOnly,
                                                 const QString& watchCalls)
{
    SpotDisplayOptions o;
    o.modeFilter = modeFilterFromRaw(modeFilter).value_or(ModeFilter::all);
    o.bands = decodeBands(bands);
    o.neededOnly = show == QLatin1String("needed");
    o.needScope = needScope == rawValue(NeedScope::bandCountry) ? NeedScope::bandCountry : NeedScope::country;
    o.confirmedOnly = confirmedOnly;
    o.watchList = CallWatchList(watchCalls);
    return o;
}

SpotDisplayOptions SpotDisplayOptions::fromSettings(const Settings& s)
{
    return fromTexts(s.get(SettingKeys::clusterModeFilter), s.get(SettingKeys::clusterBands),
                     s.get(SettingKeys::clusterShow), s.get(SettingKeys::clusterNeedScope),
                     s.get(SettingKeys::clusterConfirmedOnly), s.get(SettingKeys::clusterWatchCalls));
}
