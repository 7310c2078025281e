#pragma once

#include "support/StringKey.h"

#include <QSet>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The mode of a spot. A spot whose mode cannot be told carries no mode
// (an empty optional), never a fourth value.
enum class SpotMode {
    cw,
    ssb,
    digital,
};

// "CW", "SSB", "DIGI": also the coded form.
QString rawValue(SpotMode mode);
std::optional<SpotMode> spotModeFromRaw(QStringView raw);

// The operator's choice of modes to show, stored under SettingKeys::clusterModeFilter
// as its raw text (the case name).
enum class ModeFilter {
    all,
    cw,
    ssb,
    digital,
    cwSsb,
};

inline constexpr std::array<ModeFilter, 5> allModeFilters {
    ModeFilter::all, ModeFilter::cw, ModeFilter::ssb, ModeFilter::digital, ModeFilter::cwSsb,
};

QString rawValue(ModeFilter filter);
std::optional<ModeFilter> modeFilterFromRaw(QStringView raw);
QString title(ModeFilter filter);

// `all` passes anything, even no mode; every other filter needs a mode.
bool accepts(ModeFilter filter, std::optional<SpotMode> mode);

// Guesses a spot's mode from the words of its comment, then from the FT8/FT4
// dial frequencies, then from the band plan.
namespace ModeClassifier {

const QSet<StringKey>& digitalWords();
const QSet<StringKey>& phoneWords();

std::optional<SpotMode> mode(double frequencyKHz, QStringView comment);

// The band plan alone: CW at the bottom of a band, then digital, then SSB.
std::optional<SpotMode> bandPlanMode(double frequencyKHz);

} // namespace ModeClassifier
