#pragma once

#include <QString>

// Fallbacks that several readers of one settings key share, computed once.
namespace SettingsDefault {

// The fallback of "clusterBands": the default band selection in its stored
// form, "160,80,60,40,30,20,17,15,12,10,6".
const QString& clusterBands();

} // namespace SettingsDefault
