#pragma once

#include "cluster/DXSpot.h"

#include <QDateTime>
#include <QStringView>

#include <optional>

// Turns one line received from a cluster node into a spot, or into nothing.
// Two kinds of line announce spots: the live "DX de" announcement and a line
// of the history listing ("sh/dx"). Refusals are silent.
namespace DXSpotParser {

// The live parser first; only when it refuses, the history parser.
std::optional<DXSpot> spot(QStringView line, const QDateTime& received);

// "DX de W1XYZ:  14074.0  K1ABC  FT8 -12 dB  1230Z FN42"; the spot's time
// is the receiving time.
std::optional<DXSpot> liveSpot(QStringView line, const QDateTime& received);

// "14074.0  K1ABC  5-Dec-2026 1230Z  FT8 loud  <W1XYZ>"; the spot's time
// comes from the line (UTC).
std::optional<DXSpot> historySpot(QStringView line);

// 3 to 15 ASCII letters, digits and "/", with at least one letter and one digit.
bool isPlausibleCall(QStringView call);

} // namespace DXSpotParser
