#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The controller dialects spoken to antenna rotator controllers. Pure values:
// the functions below only build command bytes and read answer lines; the
// session writes the commands to a link and hands the answers back.
//
// Stored by its raw value ("gs232a", "gs232b", "prosistel", "rotctld"),
// which is also its id. allCases keeps the order the pickers show.
enum class RotatorProtocol { gs232a, gs232b, prosistel, rotctld };

namespace RotatorProtocols {

inline constexpr std::array<RotatorProtocol, 4> allCases = {
    RotatorProtocol::gs232a,
    RotatorProtocol::gs232b,
    RotatorProtocol::prosistel,
    RotatorProtocol::rotctld,
};

// Exactly one of the four raw values, case-sensitive.
std::optional<RotatorProtocol> fromRaw(QStringView raw);

} // namespace RotatorProtocols

QString rawValue(RotatorProtocol proto);
// "Yaesu GS-232A", "Yaesu GS-232B", "Prosistel", "Hamlib rotctld (network)".
QString title(RotatorProtocol proto);
// Only rotctld is reached over TCP; the others sit on a serial port.
bool usesNetwork(RotatorProtocol proto);
// The byte that ends every answer line and every command: LF for rotctld,
// CR for the serial controllers.
quint8 terminator(RotatorProtocol proto);
// The two Yaesu GS-232 dialects.
bool isGS232(RotatorProtocol proto);
// True for the two GS-232 dialects, the only ones with a speed command.
bool supportsSpeed(RotatorProtocol proto);

// Command bytes, terminator included.
QByteArray positionQuery(RotatorProtocol proto);
// `azimuth` is in the controller's own degrees (0...450 in practice).
QByteArray moveCommand(RotatorProtocol proto, int azimuth);
QByteArray stopCommand(RotatorProtocol proto);
// GS-232 only: the level is clamped to 1...4. No value for the others.
std::optional<QByteArray> speedCommand(RotatorProtocol proto, int level);

// The controller azimuth carried by one answer line (without its
// terminator), or no value. Never a non-finite value: a controller that
// answers "nan" or "1e999" has given no reading.
std::optional<double> parsePosition(RotatorProtocol proto, QStringView line);
// For bytes that came without a terminator: the last complete GS-232
// position answer inside them. No value for Prosistel and rotctld.
std::optional<double> parseUnterminated(RotatorProtocol proto, QStringView text);
