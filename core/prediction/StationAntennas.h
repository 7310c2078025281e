#pragma once

#include "cluster/Band.h"
#include "prediction/PredictionSettings.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <array>
#include <optional>
#include <utility>

// The antenna on one band: its kind, its height above ground and, for a kind
// the program does not model, the gain the operator entered.
struct BandAntenna {
    AntennaPreset type = AntennaPreset::dipole;
    double heightM = 10.0; // shapes the pattern of the horizontal kinds only
    double gainDBi = 3.0;  // used unchanged, and only, by `custom`

    // Gain in dBi towards an elevation (degrees above the horizon) at a
    // frequency (MHz), over average ground (εr 13, σ 0.005 S/m): the kind's
    // free-space gain plus the ground reflection, floored at −30 dBi.
    double gain(double mhz, double elevation) const;

    // {"gain": …, "height": …, "type": "…"}. Reading needs all three members
    // with the right JSON types and a known kind.
    QJsonObject toJson() const;
    static std::optional<BandAntenna> fromJson(const QJsonValue& value);

    // Numeric comparison: a NaN height makes an antenna unequal to itself.
    friend bool operator==(const BandAntenna&, const BandAntenna&) = default;
};

// Feeds the kind's raw text, the height and the gain, with −0 taken as +0.
size_t qHash(const BandAntenna& antenna, size_t seed = 0) noexcept;

// The antenna of each band from 160 m to 6 m. A band without an entry has
// the default antenna (a dipole at 10 m, 3 dBi); that is not the same as an
// entry holding the default antenna, so two tables that behave alike can
// compare unequal.
//
// Stored as JSON under SettingKeys::stationBandAntennas: one object keyed by the
// band's metres ("160" … "6"), always all eleven bands.
class StationAntennas {
public:
    struct BandCentre {
        Band band;
        double mhz;
    };
    // The bands the table covers with their centre frequencies, in the
    // order of the settings table and of every search below.
    static constexpr std::array<BandCentre, 11> bands = { {
        { Band::m160, 1.84 },
        { Band::m80, 3.65 },
        { Band::m60, 5.36 },
        { Band::m40, 7.1 },
        { Band::m30, 10.12 },
        { Band::m20, 14.15 },
        { Band::m17, 18.11 },
        { Band::m15, 21.2 },
        { Band::m12, 24.94 },
        { Band::m10, 28.4 },
        { Band::m6, 50.15 },
    } };

    struct Choice {
        BandAntenna antenna;
        double bandMHz = 0;
        friend bool operator==(const Choice&, const Choice&) = default;
    };

    StationAntennas() = default;
    // The given antenna on each of the eleven bands.
    explicit StationAntennas(const BandAntenna& everyBand);

    // 6 m has an antenna but is never predicted.
    static bool isPredicted(Band band);

    // The band's antenna, or the default antenna when it has no entry.
    BandAntenna operator[](Band band) const;
    void set(Band band, const BandAntenna& antenna);

    // The antenna of the band whose centre is nearest the frequency; a tie
    // keeps the lower band, NaN gives 160 m.
    Choice antenna(double mhz) const;
    // The nearest band's antenna evaluated at that band's centre.
    double gain(double mhz, double elevation) const;

    // Degrees above the horizon at which a hop of this ground length leaves
    // the station, reflecting 300 km up; 90 for no length, at least 1.
    static double takeOffAngle(double hopKm);

    // The 160 m antenna on every band (the settings table's copy button).
    StationAntennas copyingFirstRowToAll() const;

    // Compact JSON with sorted keys. A band whose height or gain is not
    // finite is left out, so it reads back as the fallback.
    QString encoded() const;
    // The fallback on every band, replaced by the text's members for the
    // eleven bands. Any fault in the text (not JSON, not an object, one bad
    // member anywhere) discards the whole text.
    static StationAntennas decode(const QString& text, const BandAntenna& fallback);
    // Whether decode() reads the text rather than discarding it: a JSON
    // object whose every member is a band antenna. The empty text is none.
    static bool decodes(const QString& text);

    // The transmit antenna file of the P.533 engine (antenna type 14): gain
    // against elevation, 0° … 90°, at 30 frequencies. The ten predicted bands
    // at their centres come first; 31 … 50 MHz follow with the 10 m antenna
    // at 28.4 MHz, so the engine never sees a band it has no antenna for.
    // 305 lines, each ended by a line feed.
    QString type14File() const;

    friend bool operator==(const StationAntennas&, const StationAntennas&) = default;
    // Independent of the order in which entries were stored.
    size_t hash(size_t seed = 0) const noexcept;

private:
    QHash<Band, BandAntenna> m_table;
};

inline size_t qHash(const StationAntennas& antennas, size_t seed = 0) noexcept { return antennas.hash(seed); }
