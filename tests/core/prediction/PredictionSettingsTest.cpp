#include "prediction/PropagationPredictor.h"

#include <QHashFunctions>
#include <gtest/gtest.h>

namespace {

template <typename Enum, size_t N, typename FromRaw>
void expectRawValuesRoundTrip(const std::array<Enum, N>& cases, FromRaw fromRaw)
{
    for (const Enum c : cases) {
        const QString raw = rawValue(c);
        EXPECT_EQ(fromRaw(raw), c) << raw.toStdString();
        EXPECT_EQ(qHash(c, 11), qHash(raw, 11));
        EXPECT_FALSE(fromRaw(raw.toUpper())) << raw.toStdString();
        EXPECT_FALSE(fromRaw(QStringLiteral(" ") + raw));
        EXPECT_FALSE(fromRaw(raw + QStringLiteral(" ")));
    }
    EXPECT_FALSE(fromRaw(QString()));
}

} // namespace

TEST(PredictionSettings, RawValuesAreTheCaseNamesInPickerOrder)
{
    expectRawValuesRoundTrip(AntennaPresets::allCases, AntennaPresets::fromRaw);
    expectRawValuesRoundTrip(PredictionModes::allCases, PredictionModes::fromRaw);
    expectRawValuesRoundTrip(NoiseEnvironments::allCases, NoiseEnvironments::fromRaw);
    expectRawValuesRoundTrip(PredictionEngineChoices::allCases, PredictionEngineChoices::fromRaw);

    QStringList presets;
    for (const auto p : AntennaPresets::allCases)
        presets << rawValue(p);
    EXPECT_EQ(presets.join(u','), QStringLiteral("vertical,invertedV,dipole,yagi2,yagi3,yagi5,custom"));
    QStringList modes;
    for (const auto m : PredictionModes::allCases)
        modes << rawValue(m);
    EXPECT_EQ(modes.join(u','), QStringLiteral("cw,ssb,ft8"));
    QStringList noises;
    for (const auto n : NoiseEnvironments::allCases)
        noises << rawValue(n);
    EXPECT_EQ(noises.join(u','), QStringLiteral("quietRural,rural,residential,city"));
    EXPECT_EQ(rawValue(PredictionEngineChoices::allCases[0]) + rawValue(PredictionEngineChoices::allCases[1]),
              QStringLiteral("ituquick"));
}

TEST(PredictionSettings, PresetTraits)
{
    EXPECT_EQ(freeSpaceGainDBi(AntennaPreset::custom), 0.0);
    for (const auto p : AntennaPresets::allCases) {
        EXPECT_EQ(isVertical(p), p == AntennaPreset::vertical);
        EXPECT_EQ(usesHeight(p), p != AntennaPreset::vertical && p != AntennaPreset::custom);
    }
    EXPECT_EQ(requiredSNR(PredictionMode::ft8), -20.0);
}

TEST(PredictionSettings, StoredTextsFallBackToSsbAndResidential)
{
    const struct {
        const char* stored;
        PredictionMode mode;
    } modes[] = { { "cw", PredictionMode::cw },   { "ft8", PredictionMode::ft8 }, { "ssb", PredictionMode::ssb },
                  { "FT8", PredictionMode::ssb }, { "", PredictionMode::ssb },    { " cw", PredictionMode::ssb } };
    for (const auto& c : modes)
        EXPECT_EQ(PredictionModes::fromSetting(QString::fromLatin1(c.stored)), c.mode) << c.stored;

    EXPECT_EQ(NoiseEnvironments::fromSetting(u"city"), NoiseEnvironment::city);
    EXPECT_EQ(NoiseEnvironments::fromSetting(u"quietRural"), NoiseEnvironment::quietRural);
    EXPECT_EQ(NoiseEnvironments::fromSetting(u"City"), NoiseEnvironment::residential);
    EXPECT_EQ(NoiseEnvironments::fromSetting(u""), NoiseEnvironment::residential);
}

TEST(PredictionSettings, SetupEquality)
{
    StationAntennas forwards;
    StationAntennas backwards;
    const BandAntenna a { AntennaPreset::yagi3, 18, 0 };
    const BandAntenna b { AntennaPreset::vertical, 0, 0 };
    forwards.set(Band::m20, a);
    forwards.set(Band::m40, b);
    backwards.set(Band::m40, b);
    backwards.set(Band::m20, a);

    const StationSetup base(100, forwards, PredictionMode::cw, NoiseEnvironment::rural);
    EXPECT_EQ(base, StationSetup(100, backwards, PredictionMode::cw, NoiseEnvironment::rural));

    StationAntennas otherAntenna = forwards;
    otherAntenna.set(Band::m40, BandAntenna { AntennaPreset::vertical, 0, 1 });
    EXPECT_NE(base, StationSetup(100, otherAntenna, PredictionMode::cw, NoiseEnvironment::rural));
    EXPECT_NE(base, StationSetup(50, forwards, PredictionMode::cw, NoiseEnvironment::rural));
    EXPECT_NE(base, StationSetup(100, forwards, PredictionMode::ft8, NoiseEnvironment::rural));
    EXPECT_NE(base, StationSetup(100, forwards, PredictionMode::cw, NoiseEnvironment::city));
}
