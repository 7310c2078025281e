#include "SettingsDefault.h"

#include "Band.h"

namespace SettingsDefault {

const QString& clusterBands()
{
    static const QString text = encodeBands(defaultBandSelection());
    return text;
}

} // namespace SettingsDefault
