// The station's antennas as stored in the settings (JSON keyed by band), and
// the engine's antenna file made from them.

#include "FuzzSupport.h"

#include "prediction/StationAntennas.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = Fuzz::text(QByteArrayView(data, qsizetype(size)));
    const BandAntenna fallback { AntennaPreset::vertical, 5, 0 };
    const StationAntennas antennas = StationAntennas::decode(text, fallback);
    if (!StationAntennas::decodes(text)) {
        // Any fault discards the whole text.
        FUZZ_CHECK(antennas == StationAntennas(fallback));
        return 0;
    }

    // Stored and read again: the same table, but for bands whose numbers
    // cannot be written, which read back as the fallback.
    const QString stored = antennas.encoded();
    FUZZ_CHECK(StationAntennas::decodes(stored));
    const StationAntennas again = StationAntennas::decode(stored, fallback);
    for (const auto& entry : StationAntennas::bands) {
        const BandAntenna antenna = antennas[entry.band];
        const bool writable = std::isfinite(antenna.heightM) && std::isfinite(antenna.gainDBi);
        FUZZ_CHECK(again[entry.band] == (writable ? antenna : fallback));
    }
    FUZZ_CHECK(StationAntennas::decode(stored, fallback).encoded() == stored);

    // The engine's file: 305 lines of numbers it can read.
    const QString file = antennas.type14File();
    FUZZ_CHECK(file.endsWith(u'\n') && file.count(u'\n') == 305);
    const QStringList lines = file.split(u'\n');
    for (qsizetype i = 5; i + 1 < lines.size(); ++i) {
        for (QStringView number : QStringView(lines[i]).tokenize(u' ', Qt::SkipEmptyParts)) {
            bool ok = false;
            const double value = number.toDouble(&ok);
            FUZZ_CHECK(ok && std::isfinite(value));
        }
    }
    for (const auto& entry : StationAntennas::bands) {
        const double gain = antennas.gain(entry.mhz, 10);
        FUZZ_CHECK(std::isfinite(gain) && gain >= -30);
    }
    return 0;
}
