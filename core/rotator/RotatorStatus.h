#pragma once

#include "support/NumberText.h"

#include <QString>

#include <optional>

// What the application knows about one running rotator right now: its
// worker reports it, the manager publishes it, the map, toolbar and
// settings show it.
struct RotatorStatus {
    // True heading in [0, 360) from the last good reading; absent until the
    // first, and kept when the controller is lost.
    std::optional<double> heading;
    // The true bearing the rotator is being turned to; absent when it is not
    // turning.
    std::optional<double> target;
    // From a good reading until an error is shown.
    bool connected = false;
    // The line the user reads about the connection.
    QString message = notConnectedText();

    static QString notConnectedText() { return QStringLiteral("Not connected"); }
    static QString waitingText() { return QStringLiteral("Waiting for the controller to answer\u2026"); }
    static QString connectedText() { return QStringLiteral("Connected"); }
    // A serial rotator without its port.
    static QString noPortText() { return QStringLiteral("Choose the serial port in Settings \u203A Rotators"); }

    // A heading or bearing as every rotator view shows it: three digits and
    // a degree sign, rounded by the format alone (359.6 shows as "360°").
    static QString degreesText(double degrees) { return NumberText::fixed(degrees, 0, 3) + QChar(0x00B0); }

    friend bool operator==(const RotatorStatus&, const RotatorStatus&) = default;
};
