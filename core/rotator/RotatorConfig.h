#pragma once

#include "rotator/RotatorGeometry.h"
#include "rotator/RotatorProtocol.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

class Settings;

// One configured antenna rotator: its name, dialect, how it is reached
// (serial port and speed, or rotctld host and TCP port), how it is drawn
// and how it turns.
//
// The whole list lives as one JSON array under the settings key
// SettingKeys::rotators. Stored values are kept as they are: `range` is folded only by
// `geometry()`, and nothing else is range-checked.
struct RotatorConfig {
    QUuid id = QUuid::createUuid();
    QString name = QStringLiteral("Rotator");
    RotatorProtocol proto = RotatorProtocol::gs232b;
    QString port; // serial device path; empty: not chosen yet
    int baud = 9600;
    QString host = QStringLiteral("localhost"); // rotctld only
    int tcpPort = 4533;
    double beamWidth = 60.0;                     // degrees, the wedge on the map
    int range = 360;                             // 450: a rotator with overlap
    double offset = 0.0;                         // degrees added to every reading
    QString color = QStringLiteral("#FFD24AFF"); // "#RRGGBBAA"
    bool showLongPath = false;
    bool softStart = true;

    RotatorGeometry geometry() const { return RotatorGeometry(range, offset); }

    // The other serial rotators of `list` on this rotator's port, in list
    // order. A rotctld rotator or one without a port clashes with nothing.
    QList<RotatorConfig> portClashes(const QList<RotatorConfig>& list) const;

    // One object. Absent and null keys keep their defaults (with a fresh
    // id); a value of the wrong type, an id that is no UUID or an unknown
    // dialect fails the whole object.
    static std::optional<RotatorConfig> fromJson(const QJsonValue& value);
    QJsonObject toJson() const;

    // The list from its stored text. Anything that does not decode as a
    // whole gives an empty list (one bad entry loses the list).
    static QList<RotatorConfig> decode(const QString& text);
    // Whether the text decodes as a whole ("[]" does; "", "{}" and a list
    // with one bad entry do not).
    static bool decodes(const QString& text);
    // The stored text of a list: a compact JSON array.
    static QString encode(const QList<RotatorConfig>& list);

    // The list under SettingKeys::rotators ("[]" when absent), and its replacement.
    static QList<RotatorConfig> load(const Settings& settings);
    static void save(Settings& settings, const QList<RotatorConfig>& list);

    friend bool operator==(const RotatorConfig&, const RotatorConfig&) = default;
};
