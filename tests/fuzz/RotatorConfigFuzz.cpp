// The stored list of rotators, as the settings give it back.

#include "FuzzSupport.h"

#include "rotator/RotatorConfig.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = Fuzz::text(QByteArrayView(data, qsizetype(size)));
    const QList<RotatorConfig> list = RotatorConfig::decode(text);

    // Stored and read again, the list is the same: ids, dialects, numbers.
    const QString stored = RotatorConfig::encode(list);
    FUZZ_CHECK(RotatorConfig::decode(stored) == list);
    FUZZ_CHECK(RotatorConfig::encode(RotatorConfig::decode(stored)) == stored);

    for (const RotatorConfig& config : list) {
        FUZZ_CHECK(std::isfinite(config.beamWidth) && std::isfinite(config.offset));
        const RotatorGeometry geometry = config.geometry();
        FUZZ_CHECK(geometry.range() == 360 || geometry.range() == 450);
        for (const double raw : { 0.0, 90.0, 359.5, 449.0, -3.0 }) {
            const double heading = geometry.heading(raw);
            FUZZ_CHECK(heading >= 0 && heading <= 360);
            const int target = geometry.target(heading, raw);
            FUZZ_CHECK(target >= 0 && target <= geometry.range());
        }
        // The other serial rotators on the same port, in list order.
        const QList<RotatorConfig> clashes = config.portClashes(list);
        if (usesNetwork(config.proto) || config.port.isEmpty())
            FUZZ_CHECK(clashes.isEmpty());
        for (const RotatorConfig& other : clashes)
            FUZZ_CHECK(!usesNetwork(other.proto) && other.port == config.port && other.id != config.id);
    }
    return 0;
}
