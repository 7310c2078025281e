#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The three choices that describe the operator's station for a prediction.
// Each is stored by its raw value, which is exactly the case name
// ("invertedV", "ft8", "quietRural"); the raw value is also the id, and
// allCases keeps the order the settings pickers show. Hashing hashes the
// raw text, so prediction caches can feed it into their keys.

// The kind of antenna on one band.
enum class AntennaPreset { vertical, invertedV, dipole, yagi2, yagi3, yagi5, custom };

namespace AntennaPresets {

inline constexpr std::array<AntennaPreset, 7> allCases = {
    AntennaPreset::vertical, AntennaPreset::invertedV, AntennaPreset::dipole, AntennaPreset::yagi2,
    AntennaPreset::yagi3,    AntennaPreset::yagi5,     AntennaPreset::custom,
};

// Exactly one of the raw values, case-sensitive, untrimmed.
std::optional<AntennaPreset> fromRaw(QStringView raw);

} // namespace AntennaPresets

QString rawValue(AntennaPreset preset);
QString title(AntennaPreset preset);
// Gain in free space, dBi, before the ground reflection is added. A custom
// antenna's gain is the number the operator enters, so its preset gives 0.
double freeSpaceGainDBi(AntennaPreset preset);
// Vertical polarisation over ground: the vertical alone.
bool isVertical(AntennaPreset preset);
// Whether the height above ground shapes the pattern: all but the vertical
// (taken as ground mounted) and custom.
bool usesHeight(AntennaPreset preset);
size_t qHash(AntennaPreset preset, size_t seed = 0) noexcept;

// The mode a prediction is made for, with its receiver bandwidth and the
// signal-to-noise ratio it needs.
enum class PredictionMode { cw, ssb, ft8 };

namespace PredictionModes {

inline constexpr std::array<PredictionMode, 3> allCases
    = { PredictionMode::cw, PredictionMode::ssb, PredictionMode::ft8 };

std::optional<PredictionMode> fromRaw(QStringView raw);

// The stored SettingKeys::predictionMode: "cw" and "ft8" name their modes; any other
// text, the empty one included, means SSB.
PredictionMode fromSetting(QStringView stored);

} // namespace PredictionModes

QString rawValue(PredictionMode mode);
QString title(PredictionMode mode);
double bandwidthHz(PredictionMode mode);
// dB; negative for FT8, which decodes below the noise.
double requiredSNR(PredictionMode mode);
size_t qHash(PredictionMode mode, size_t seed = 0) noexcept;

// The man-made noise class at the station, with the two parameters of the
// ITU-R P.372 line Fam = C − D·log10(f in MHz), dB above kT0b.
enum class NoiseEnvironment { quietRural, rural, residential, city };

namespace NoiseEnvironments {

inline constexpr std::array<NoiseEnvironment, 4> allCases = {
    NoiseEnvironment::quietRural,
    NoiseEnvironment::rural,
    NoiseEnvironment::residential,
    NoiseEnvironment::city,
};

std::optional<NoiseEnvironment> fromRaw(QStringView raw);

// The stored SettingKeys::noiseEnvironment: a raw value gives its class, anything else
// residential.
NoiseEnvironment fromSetting(QStringView stored);

} // namespace NoiseEnvironments

QString rawValue(NoiseEnvironment noise);
QString title(NoiseEnvironment noise);
double manMadeNoiseC(NoiseEnvironment noise);
double manMadeNoiseD(NoiseEnvironment noise);
size_t qHash(NoiseEnvironment noise, size_t seed = 0) noexcept;

// Which engine predicts: the ITU-R P.533 program or the quick model. The
// readers take "quick" as the quick model and every other text as the
// engine, which falls back to the quick model while it is not installed.
enum class PredictionEngineChoice { itu, quick };

namespace PredictionEngineChoices {

inline constexpr std::array<PredictionEngineChoice, 2> allCases
    = { PredictionEngineChoice::itu, PredictionEngineChoice::quick };

std::optional<PredictionEngineChoice> fromRaw(QStringView raw);

// Whether the stored text asks for the engine: anything but "quick" does.
bool asksForEngine(QStringView stored);

} // namespace PredictionEngineChoices

QString rawValue(PredictionEngineChoice choice);
size_t qHash(PredictionEngineChoice choice, size_t seed = 0) noexcept;
