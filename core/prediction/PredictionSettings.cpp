#include "prediction/PredictionSettings.h"

#include "support/RawValue.h"

#include <QHashFunctions>

// AntennaPreset

std::optional<AntennaPreset> AntennaPresets::fromRaw(QStringView raw) { return findRaw(allCases, raw); }

QString rawValue(AntennaPreset preset)
{
    switch (preset) {
    case AntennaPreset::vertical:
        return QStringLiteral("vertical");
    case AntennaPreset::invertedV:
        return QStringLiteral("invertedV");
    case AntennaPreset::dipole:
        return QStringLiteral("dipole");
    case AntennaPreset::yagi2:
        return QStringLiteral("yagi2");
    case AntennaPreset::yagi3:
        return QStringLiteral("yagi3");
    case AntennaPreset::yagi5:
        return QStringLiteral("yagi5");
    case AntennaPreset::custom:
        return QStringLiteral("custom");
    }
    return {};
}

QString title(AntennaPreset preset)
{
    switch (preset) {
    case AntennaPreset::vertical:
        return QStringLiteral("Vertical (ground mounted)");
    case AntennaPreset::invertedV:
        return QStringLiteral("Inverted V");
    case AntennaPreset::dipole:
        return QStringLiteral("Dipole");
    case AntennaPreset::yagi2:
        return QStringLiteral("2-element Yagi or quad");
    case AntennaPreset::yagi3:
        return QStringLiteral("3-element Yagi");
    case AntennaPreset::yagi5:
        return QStringLiteral("5-element Yagi or bigger");
    case AntennaPreset::custom:
        return QStringLiteral("Other (enter the gain)");
    }
    return {};
}

double freeSpaceGainDBi(AntennaPreset preset)
{
    switch (preset) {
    case AntennaPreset::vertical:
        return 2.15;
    case AntennaPreset::invertedV:
        return 1.5;
    case AntennaPreset::dipole:
        return 2.15;
    case AntennaPreset::yagi2:
        return 6.0;
    case AntennaPreset::yagi3:
        return 7.5;
    case AntennaPreset::yagi5:
        return 9.5;
    case AntennaPreset::custom:
        return 0.0;
    }
    return 0.0;
}

bool isVertical(AntennaPreset preset) { return preset == AntennaPreset::vertical; }

bool usesHeight(AntennaPreset preset) { return preset != AntennaPreset::vertical && preset != AntennaPreset::custom; }

size_t qHash(AntennaPreset preset, size_t seed) noexcept { return qHash(rawValue(preset), seed); }

// PredictionMode

std::optional<PredictionMode> PredictionModes::fromRaw(QStringView raw) { return findRaw(allCases, raw); }

PredictionMode PredictionModes::fromSetting(QStringView stored)
{
    return fromRaw(stored).value_or(PredictionMode::ssb);
}

QString rawValue(PredictionMode mode)
{
    switch (mode) {
    case PredictionMode::cw:
        return QStringLiteral("cw");
    case PredictionMode::ssb:
        return QStringLiteral("ssb");
    case PredictionMode::ft8:
        return QStringLiteral("ft8");
    }
    return {};
}

QString title(PredictionMode mode)
{
    switch (mode) {
    case PredictionMode::cw:
        return QStringLiteral("CW");
    case PredictionMode::ssb:
        return QStringLiteral("SSB");
    case PredictionMode::ft8:
        return QStringLiteral("FT8 / digital");
    }
    return {};
}

double bandwidthHz(PredictionMode mode)
{
    switch (mode) {
    case PredictionMode::cw:
        return 500;
    case PredictionMode::ssb:
        return 2700;
    case PredictionMode::ft8:
        return 2500;
    }
    return 2700;
}

double requiredSNR(PredictionMode mode)
{
    switch (mode) {
    case PredictionMode::cw:
        return 0;
    case PredictionMode::ssb:
        return 8;
    case PredictionMode::ft8:
        return -20;
    }
    return 8;
}

size_t qHash(PredictionMode mode, size_t seed) noexcept { return qHash(rawValue(mode), seed); }

// NoiseEnvironment

std::optional<NoiseEnvironment> NoiseEnvironments::fromRaw(QStringView raw) { return findRaw(allCases, raw); }

NoiseEnvironment NoiseEnvironments::fromSetting(QStringView stored)
{
    return fromRaw(stored).value_or(NoiseEnvironment::residential);
}

QString rawValue(NoiseEnvironment noise)
{
    switch (noise) {
    case NoiseEnvironment::quietRural:
        return QStringLiteral("quietRural");
    case NoiseEnvironment::rural:
        return QStringLiteral("rural");
    case NoiseEnvironment::residential:
        return QStringLiteral("residential");
    case NoiseEnvironment::city:
        return QStringLiteral("city");
    }
    return {};
}

QString title(NoiseEnvironment noise)
{
    switch (noise) {
    case NoiseEnvironment::quietRural:
        return QStringLiteral("Quiet countryside");
    case NoiseEnvironment::rural:
        return QStringLiteral("Rural");
    case NoiseEnvironment::residential:
        return QStringLiteral("Residential (suburbs)");
    case NoiseEnvironment::city:
        return QStringLiteral("City");
    }
    return {};
}

double manMadeNoiseC(NoiseEnvironment noise)
{
    switch (noise) {
    case NoiseEnvironment::quietRural:
        return 53.6;
    case NoiseEnvironment::rural:
        return 67.2;
    case NoiseEnvironment::residential:
        return 72.5;
    case NoiseEnvironment::city:
        return 76.8;
    }
    return 72.5;
}

double manMadeNoiseD(NoiseEnvironment noise) { return noise == NoiseEnvironment::quietRural ? 28.6 : 27.7; }

size_t qHash(NoiseEnvironment noise, size_t seed) noexcept { return qHash(rawValue(noise), seed); }

// PredictionEngineChoice

std::optional<PredictionEngineChoice> PredictionEngineChoices::fromRaw(QStringView raw)
{
    return findRaw(allCases, raw);
}

bool PredictionEngineChoices::asksForEngine(QStringView stored)
{
    return fromRaw(stored) != PredictionEngineChoice::quick;
}

QString rawValue(PredictionEngineChoice choice)
{
    return choice == PredictionEngineChoice::quick ? QStringLiteral("quick") : QStringLiteral("itu");
}

size_t qHash(PredictionEngineChoice choice, size_t seed) noexcept { return qHash(rawValue(choice), seed); }
