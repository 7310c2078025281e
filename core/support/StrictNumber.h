#pragma once

#include <QStringView>

#include <optional>

// One strict reader for numbers that arrive as text from peers and files
// (cluster lines, feeds, logbooks, country files, settings). Only finite
// values pass: "nan", "inf" and overflowing exponents such as "1e999" are
// no number. Always the C locale, whatever the user's.
namespace StrictNumber {

// The whole text must be one decimal number: optional sign, digits with an
// optional point and optional exponent. No surrounding blanks (trim first),
// no hexadecimal, no thousands separators.
std::optional<double> parseDouble(QStringView text);

// The whole text must be an optional sign and decimal digits, in range.
std::optional<qint64> parseInt(QStringView text);

} // namespace StrictNumber
