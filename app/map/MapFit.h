#pragma once

#include <QString>

#include <array>
#include <optional>

// How the map fills its window (SettingKeys::mapFit, stored by raw text).
enum class MapFit {
    fill,    // true proportions, covering the window; the overhang is cut off
    whole,   // true proportions, the whole world, with empty bars beside it
    stretch, // stretched over the whole window
};

namespace MapFits {

const std::array<MapFit, 3>& allCases();
QString rawValue(MapFit fit);
// Exactly "fill", "whole" or "stretch" (case matters); anything else gives none.
std::optional<MapFit> fromRaw(const QString& text);

} // namespace MapFits
