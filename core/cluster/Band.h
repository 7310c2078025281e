#pragma once

#include <QSet>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The amateur bands the application knows, from 160 m to 2 m. The raw value
// is the band's name in metres; that number is what settings, the logbook
// file and per-band tables store.
enum class Band : int {
    m160 = 160,
    m80 = 80,
    m60 = 60,
    m40 = 40,
    m30 = 30,
    m20 = 20,
    m17 = 17,
    m15 = 15,
    m12 = 12,
    m10 = 10,
    m6 = 6,
    m4 = 4,
    m2 = 2,
};

inline size_t qHash(Band band, size_t seed = 0) noexcept { return ::qHash(static_cast<int>(band), seed); }

using BandSet = QSet<Band>;

// A closed frequency range in kHz; both edges belong to it.
struct KHzRange {
    double lower = 0;
    double upper = 0;

    // False for NaN, which lies in no range.
    bool contains(double kHz) const { return lower <= kHz && kHz <= upper; }

    friend bool operator==(const KHzRange&, const KHzRange&) = default;
};

// Every band, longest wavelength first. Every lookup walks this order.
inline constexpr std::array<Band, 13> allBands {
    Band::m160, Band::m80, Band::m60, Band::m40, Band::m30, Band::m20, Band::m17,
    Band::m15,  Band::m12, Band::m10, Band::m6,  Band::m4,  Band::m2,
};

// The metres, also the band's identity.
constexpr int rawValue(Band band) { return static_cast<int>(band); }

// "20 m".
QString title(Band band);

KHzRange rangeKHz(Band band);

// Exactly the 13 raw values above give a band.
std::optional<Band> bandFromRaw(qint64 metres);

// The first band (in allBands order) whose range holds the frequency.
std::optional<Band> bandForKHz(double kHz);

// 160 m to 6 m: every band but 4 m and 2 m.
const BandSet& defaultBandSelection();

// Metres in descending order joined by "," ("160,20,6"); empty set, empty text.
QString encodeBands(const BandSet& bands);

// Reads the stored text leniently: pieces that are empty, unreadable or no
// band are skipped, order and repetitions don't matter.
BandSet decodeBands(QStringView text);
